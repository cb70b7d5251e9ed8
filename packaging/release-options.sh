# shellcheck shell=bash
# The configuration the Debian packages are built with, sourced by sat.sh and tests/packaging/packaging.sh. CI's
# first build (build/) is configured with it too: the tests run on the very binaries that are packaged, and the
# package stage finds them built and builds nothing again. Release for /usr; installing (CPack) takes what is built
# and does not build the tests first.
# shellcheck disable=SC2034
release_options=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON)
