# Shell functions for running a real window under Xvfb with a window manager, sourced by the smoke test and the
# start-up measurement. Needs Xvfb, openbox, wmctrl and xdotool.
#
#   xsession_start <work dir>          starts Xvfb on a free display and openbox; exports DISPLAY
#   xsession_stop                      stops what xsession_start started
#   xsession_wait_window <pid> <title regex> <seconds>
#                                      prints the id of the first visible window of that title; fails when the
#                                      process ends first or the time runs out
#   xsession_wait_exit <pid> <seconds> waits for the process and returns its exit status (124 on time-out)
#   xsession_now_ms                    a monotonic-enough clock in milliseconds
#   xsession_cleanup <pid> <work dir>  for an EXIT trap: ends the program if still running, the X session, and
#                                      removes the work dir

xsession_xvfb_pid=""
xsession_wm_pid=""

xsession_now_ms() {
    echo $(($(date +%s%N) / 1000000))
}

xsession_start() {
    local work=$1 display_file="$1/display" i
    : >"$display_file"
    # -displayfd lets Xvfb pick a free display, so parallel runs and a developer's own X server never clash.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$display_file" >"$work/xvfb.log" 2>&1 &
    xsession_xvfb_pid=$!
    for i in $(seq 100); do
        [ -s "$display_file" ] && break
        kill -0 "$xsession_xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; return 1; }
        sleep 0.1
    done
    [ -s "$display_file" ] || { echo "Xvfb nao iniciou" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$display_file")"

    # A window manager, so that a close request reaches the window as WM_DELETE_WINDOW, as on a desktop.
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    xsession_wm_pid=$!
    for i in $(seq 100); do
        wmctrl -m >/dev/null 2>&1 && return 0
        kill -0 "$xsession_wm_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "o gerenciador de janelas nao iniciou" >&2
    cat "$work/openbox.log" >&2
    return 1
}

xsession_stop() {
    local pid
    for pid in "$xsession_wm_pid" "$xsession_xvfb_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    xsession_wm_pid=""
    xsession_xvfb_pid=""
}

xsession_wait_window() {
    local pid=$1 title=$2 seconds=$3 deadline window
    deadline=$(($(xsession_now_ms) + seconds * 1000))
    while [ "$(xsession_now_ms)" -lt "$deadline" ]; do
        window=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n1 || true)
        if [ -n "$window" ]; then
            echo "$window"
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.01
    done
    return 1
}

xsession_wait_exit() {
    local pid=$1 seconds=$2 i
    for i in $(seq $((seconds * 20))); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            return $?
        fi
        sleep 0.05
    done
    return 124
}

xsession_cleanup() {
    local pid=$1 work=$2
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    xsession_stop
    rm -rf "$work"
}
