#!/usr/bin/env bash
# Instala o que faltar, compila e então abre a ferramenta (run) ou roda os testes (test).
#   ./sat.sh        compila e abre o sat-comandos sobre o emulador
#   ./sat.sh test   compila e roda toda a bateria de testes
set -euo pipefail
cd "$(dirname "$0")"
mode=${1:-run}

packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libxml2-dev libbenchmark-dev
          xvfb xauth x11-apps imagemagick clang libclang-rt-14-dev)
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
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"

case "$mode" in
run)
    exec build/bin/sat-comandos
    ;;
test)
    ctest --test-dir build --output-on-failure -j"$jobs"
    ;;
*)
    echo "uso: $0 [run|test]" >&2
    exit 2
    ;;
esac
