#!/usr/bin/env bash
# Instala o que faltar, compila e então abre a ferramenta (run) ou roda os testes (test).
#   ./sat.sh        compila e abre o sat-comandos sobre o emulador
#   ./sat.sh test   compila e roda toda a bateria de testes
set -euo pipefail
cd "$(dirname "$0")"
mode=${1:-run}

# qt6-translations-l10n: Qt's own texts (file dialog, message box buttons, context menus) in Portuguese.
# g++-multilib: the host that runs vendors' 32-bit libraries is built with -m32.
packages=(cmake g++ g++-multilib make pkg-config qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
          libxml2-dev libbenchmark-dev libzint-dev fonts-dejavu-core)
# The tests also need a real X server with a window manager, screenshots, clang for libFuzzer, and poppler and zbar
# to read the extract's PDF and barcodes back.
# qemu-user runs the 32-bit host's tests where the kernel runs no 32-bit program (some sandboxes).
[ "$mode" != test ] || packages+=(xvfb xauth imagemagick openbox wmctrl xdotool clang libclang-rt-14-dev
                                  poppler-utils zbar-tools qemu-user)
# The packaging stage builds, checks, installs and validates the Debian packages.
[ "$mode" != test ] || packages+=(lintian desktop-file-utils appstream dpkg-dev fakeroot file)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Instalando: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
# Configured as the Debian packages are built, so that the package stage reuses this build whole.
source packaging/release-options.sh
cmake -S . -B build "${release_options[@]}"
cmake --build build -j"$jobs"

case "$mode" in
run)
    exec build/bin/sat-comandos
    ;;
test)
    # Each stage stops the script on failure; the time of each is printed, to keep an eye on CI's limit.
    stage() {
        local name=$1 start=$SECONDS
        shift
        echo "=== $name"
        "$@"
        echo "=== $name: $((SECONDS - start)) s"
    }
    asan=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1
    asan=$asan:strict_init_order=1
    sanitize_env=(ASAN_OPTIONS=$asan UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
                  LSAN_OPTIONS=suppressions=$PWD/tests/sanitizers/lsan.supp)

    stage "testes" ctest --test-dir build --output-on-failure -j"$jobs"
    stage "janela real" tests/smoke/smoke.sh build/bin/sat-comandos build/smoke build/bin/libdllsat.so
    # The Debian packages, made from build/ as the tests left it, installed, tried and removed again.
    stage "pacotes debian" tests/packaging/packaging.sh build

    # The same suite again under AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer.
    stage "configuracao com sanitizers" cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSAT_SANITIZE=ON \
        -DSAT_BENCH=OFF
    stage "compilacao com sanitizers" cmake --build build-sanitize -j"$jobs"
    stage "testes com sanitizers" env "${sanitize_env[@]}" ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
    stage "janela real com sanitizers" env "${sanitize_env[@]}" \
        tests/smoke/smoke.sh build-sanitize/bin/sat-comandos build-sanitize/smoke build-sanitize/bin/libdllsat.so

    # libFuzzer needs clang; each target runs a minute from its seed corpus.
    stage "configuracao dos fuzzers" env CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DSAT_FUZZ=ON -DSAT_BENCH=OFF
    stage "compilacao dos fuzzers" cmake --build build-fuzz --target fuzzers -j"$jobs"
    stage "fuzzing" fuzz/run.sh build-fuzz 60
    ;;
*)
    echo "uso: $0 [run|test]" >&2
    exit 2
    ;;
esac
