#!/usr/bin/env bash
# Time from process start to the main window shown, and peak memory at rest, of sat-comandos against an empty
# Qt Widgets window, both started in turn in the same X server (Xvfb with openbox); medians over the runs.
#   bench/startup/measure.sh <build dir> [runs]
# The window counts as shown when it is mapped and viewable; the clock is polled every 10 ms or so, so the
# times are good to about that. Memory is read from /proc after the window has been shown and left idle.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tests/smoke/xsession.sh"

build=$(realpath "$1")
runs=${2:-15}
work=$(mktemp -d)
app_pid=""
trap 'xsession_cleanup "$app_pid" "$work"' EXIT

xsession_start "$work"
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" SAT_EMULADOR_ESTADO="$work/estado/estado.txt"

# One run: prints "<ms to window> <VmHWM kB> <VmRSS kB>".
measure() {
    local program=$1 title=$2 start shown window hwm rss status=0
    start=$(xsession_now_ms)
    "$program" >>"$work/programs.log" 2>&1 &
    app_pid=$!
    window=$(xsession_wait_window "$app_pid" "$title" 60) || { echo "a janela de $program nao apareceu" >&2; exit 1; }
    shown=$(xsession_now_ms)
    sleep 2
    hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$app_pid/status")
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$app_pid/status")
    wmctrl -i -c "$window"
    xsession_wait_exit "$app_pid" 20 || status=$?
    app_pid=""
    [ "$status" -eq 0 ] || { echo "$program terminou com o codigo $status" >&2; exit 1; }
    echo "$((shown - start)) $hwm $rss"
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# One run of each first, not counted: it fills the disk cache and the font cache for both.
measure "$build/bin/emptywindow" '^Janela vazia$' >/dev/null
measure "$build/bin/sat-comandos" '^Tovira Comandos' >/dev/null
: >"$work/empty"
: >"$work/tool"
for i in $(seq "$runs"); do
    measure "$build/bin/emptywindow" '^Janela vazia$' >>"$work/empty"
    measure "$build/bin/sat-comandos" '^Tovira Comandos' >>"$work/tool"
done

middle() { awk -v c="$1" '{ print $c }' "$2" | median; }
times() { awk '{ printf "%s ", $1 }' "$1"; }
printf '%-30s %12s %12s %12s\n' "" "janela (ms)" "VmHWM (KiB)" "VmRSS (KiB)"
printf '%-30s %12s %12s %12s\n' "janela Qt vazia (referencia)" "$(middle 1 "$work/empty")" "$(middle 2 "$work/empty")" \
    "$(middle 3 "$work/empty")"
printf '%-30s %12s %12s %12s\n' "sat-comandos" "$(middle 1 "$work/tool")" "$(middle 2 "$work/tool")" \
    "$(middle 3 "$work/tool")"
echo "medianas de $runs execucoes alternadas"
echo "tempos da janela vazia (ms): $(times "$work/empty")"
echo "tempos do sat-comandos (ms): $(times "$work/tool")"
