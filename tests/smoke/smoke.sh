#!/usr/bin/env bash
# Starts the real executable in a real X server, waits for its main window, checks from a screenshot that the
# window was drawn, checks that the device library runs in its host, then asks it to close as a desktop would and
# expects it to exit 0 by itself.
#   tests/smoke/smoke.sh <sat-comandos> [directory for the screenshot and logs] [device library the host must run]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/xsession.sh"

program=$(realpath "$1")
out=${2:-$(mktemp -d)}
library=${3:-}
mkdir -p "$out"
out=$(realpath "$out")
work=$(mktemp -d)
app_pid=""
trap 'xsession_cleanup "$app_pid" "$work"' EXIT

fail() {
    echo "smoke: FALHOU: $*" >&2
    echo "--- saida do programa ---" >&2
    cat "$out/sat-comandos.log" >&2 || true
    exit 1
}

xsession_start "$work"

# The emulator keeps its state beside this path: a fresh one, so no user's device is touched.
mkdir -m 700 "$work/runtime"
SAT_EMULADOR_ESTADO="$work/estado/estado.txt" XDG_RUNTIME_DIR="$work/runtime" \
    "$program" >"$out/sat-comandos.log" 2>&1 &
app_pid=$!

window=$(xsession_wait_window "$app_pid" '^Tovira Comandos' 60) || fail "a janela principal nao apareceu"
title=$(xdotool getwindowname "$window")
echo "smoke: janela $window: $title"

# The first frame may still be blank when the window is mapped: retry until it has been painted.
geometry=""
colours=0
for attempt in $(seq 50); do
    import -window "$window" "$out/janela.png" 2>>"$out/import.log" || true
    if [ -s "$out/janela.png" ]; then
        colours=$(convert "$out/janela.png" -format '%k' info:)
        geometry=$(convert "$out/janela.png" -format '%wx%h' info:)
        [ "$colours" -ge 64 ] && break
    fi
    sleep 0.1
done
echo "smoke: captura $out/janela.png: $geometry, $colours cores"
# A blank or merely cleared window has a handful of colours; the form's tabs, fields, text and icon have hundreds.
[ "$colours" -ge 64 ] || fail "a janela nao foi desenhada ($colours cores)"
width=${geometry%x*}
height=${geometry#*x}
[ "$width" -ge 300 ] && [ "$height" -ge 200 ] || fail "janela pequena demais: $geometry"

# The library loads in a host process while the window opens: the host is the tool's child, with the library
# mapped.
if [ -n "$library" ]; then
    library=$(realpath "$library")
    mapped=""
    for attempt in $(seq 100); do
        for host in $(pgrep -P "$app_pid" -f sat-hospedeiro || true); do
            grep -qF " $library" "/proc/$host/maps" 2>/dev/null && mapped=$host
        done
        [ -n "$mapped" ] && break
        sleep 0.1
    done
    [ -n "$mapped" ] || fail "nenhum processo hospedeiro do programa carregou $library"
    echo "smoke: a biblioteca $library roda no hospedeiro $mapped ($(tr '\0' ' ' <"/proc/$mapped/cmdline"))"
fi

wmctrl -i -c "$window"
status=0
xsession_wait_exit "$app_pid" 20 || status=$?
app_pid=""
[ "$status" -ne 124 ] || fail "o programa nao terminou depois do pedido de fechamento"
[ "$status" -eq 0 ] || fail "o programa terminou com o codigo $status"
echo "smoke: fechado pelo gerenciador de janelas, codigo 0"
