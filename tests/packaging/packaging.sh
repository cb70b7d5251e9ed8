#!/usr/bin/env bash
# Builds the Debian packages, checks them with lintian, installs them, validates the menu entry and the AppStream
# file, starts the installed tool in a real X server, builds and runs a C program against the installed
# development package, then removes the packages and checks that nothing of them is left. Needs root (or sudo):
# it installs and removes packages, as CI does.
#   tests/packaging/packaging.sh [build dir, default build-package; sat.sh test gives its own build/]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(realpath -m "${1:-$source_dir/build-package}")
packages=(sat-comandos libdllsat-emulador1 libdllsat-emulador-dev)
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
work=$(mktemp -d)
installed=0

cleanup() {
    if [ "$installed" -eq 1 ]; then
        DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get purge -y -qq "${packages[@]}" >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "pacote: FALHOU: $*" >&2
    exit 1
}

is_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"
}

# Removing the packages at the end would take away an installation that someone made on purpose.
for p in "${packages[@]}"; do
    ! is_installed "$p" || fail "$p ja esta instalado nesta maquina; remova-o antes (apt-get remove $p)"
done
[ ! -e /usr/lib/sat-comandos ] || fail "/usr/lib/sat-comandos ja existe sem o pacote instalado"

# A release build for /usr; only what the packages hold, not the tests. sat.sh configures build/ with the same
# options, so that given build/ this builds nothing again; any other build is configured for the packages here.
source "$source_dir/packaging/release-options.sh"
cmake -S "$source_dir" -B "$build" "${release_options[@]}" >"$work/configure.log" ||
    { cat "$work/configure.log"; fail "configuracao"; }
cmake --build "$build" --target package-contents -j"$(nproc)"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB) >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
debs=()
for p in "${packages[@]}"; do
    deb=$(ls "$build/${p}"_*.deb 2>/dev/null) || fail "o cpack nao gerou o pacote $p"
    debs+=("$deb")
    echo "pacote: $(basename "$deb")"
done

# Errors and warnings fail; the overrides shipped in the packages say why each kept warning is right.
status=0
lintian --fail-on error,warning --info --pedantic "${debs[@]}" >"$work/lintian.log" 2>&1 || status=$?
grep -v "running with root privileges" "$work/lintian.log" || true
[ "$status" -eq 0 ] || fail "lintian"
echo "pacote: lintian sem erros nem avisos"
# The metainfo's launchable must name the menu entry the package really carries.
mkdir "$work/root"
dpkg-deb -x "${debs[0]}" "$work/root"
appstreamcli validate-tree --no-net --pedantic "$work/root" || fail "appstreamcli validate-tree"

# Without the recommended packages: what the tool needs is in Depends, and the run must leave the machine as
# it found it.
installed=1
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${debs[@]}" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "apt-get install"; }
for p in "${packages[@]}"; do
    is_installed "$p" || fail "$p nao ficou instalado"
done

# The hosts that run a device library apart are installed beside the bundled library; the installed tool runs that
# library, not one from the build tree (checked by the window test below).
for host in sat-hospedeiro sat-hospedeiro32; do
    [ -x /usr/lib/sat-comandos/$host ] || fail "falta /usr/lib/sat-comandos/$host"
done

desktop=/usr/share/applications/sat-comandos.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
appstreamcli validate --no-net --pedantic /usr/share/metainfo/br.org.satcomandos.sat_comandos.metainfo.xml ||
    fail "appstreamcli validate"
# The menu entry starts the installed program and finds its icon in the theme.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "$(command -v "${exec_line%% *}")" = /usr/bin/sat-comandos ] || fail "Exec= nao aponta para /usr/bin/sat-comandos"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 22 24 32 48 64 128; do
    png=/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
    [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "icone $png"
done

"$source_dir/tests/smoke/smoke.sh" /usr/bin/sat-comandos "$build/smoke-pacote" /usr/lib/sat-comandos/libdllsat.so ||
    fail "o sat-comandos instalado"

# A point-of-sale program built the way its developer would, against a fresh emulated device.
# shellcheck disable=SC2046
cc -std=c11 -Wall -Wextra -Werror -o "$work/venda" "$here/venda.c" $(pkg-config --cflags --libs dllsat-emulador) ||
    fail "compilar contra o pacote de desenvolvimento"
# Both sides resolved: /lib is /usr/lib on a merged-/usr system, and the SONAME is a link to the file.
[ "$(realpath -m "$(ldd "$work/venda" | awk '$1 == "libdllsat-emulador.so.1" { print $3 }')")" = \
    "$(realpath -m "/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/libdllsat-emulador.so.1")" ] ||
    fail "o programa nao usa a libdllsat-emulador instalada"
SAT_EMULADOR_ESTADO="$work/estado/estado.txt" "$work/venda" "$source_dir/examples/venda.xml" ||
    fail "venda pelo emulador instalado"
# The .pc file finds its prefix from where it lies: right under /usr, and under any other prefix the development
# files are installed to, whatever prefix the build was configured with.
[ "$(realpath -m "$(pkg-config --variable=prefix dllsat-emulador)")" = /usr ] || fail "prefixo do dllsat-emulador.pc"
cmake --install "$build" --component dev --prefix "$work/outro" >/dev/null
pc=$(find "$work/outro" -name dllsat-emulador.pc)
[ "$(realpath -m "$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --variable=includedir dllsat-emulador)")" = \
    "$work/outro/include/dllsat-emulador" ] || fail "dllsat-emulador.pc instalado em $work/outro"

DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get purge -y -qq "${packages[@]}" >"$work/remove.log" 2>&1 ||
    { cat "$work/remove.log"; fail "apt-get purge"; }
installed=0
for p in "${packages[@]}"; do
    ! is_installed "$p" || fail "$p continua instalado"
done
[ ! -e /usr/lib/sat-comandos ] || fail "sobrou /usr/lib/sat-comandos"
for deb in "${debs[@]}"; do
    while read -r path; do
        if [ -e "$path" ] || [ -L "$path" ]; then fail "sobrou $path"; fi
    done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -n 's|^\./|/|; /[^/]$/p')
done
echo "pacote: instalado, verificado e removido sem sobras"
