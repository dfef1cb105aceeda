#!/usr/bin/env bash
# Input at the edges of the real program's life: keys and clicks while it
# starts (before and as its window appears), and right after it was asked to
# end. It must neither crash nor hang, and end with status 0.
#   busy_input.sh WHEN    (PLINKORA: the program)
# WHEN: start-up | after-esc | after-sigterm
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/harness.sh"
source "$(dirname "${BASH_SOURCE[0]}")/rel_lib.sh"

# Acting keys, keys that do nothing, and modifiers; never Esc, Space or Enter.
readonly BURST=(q 1 w 2 e F3 comma period slash bracketleft t y Tab shift+a ctrl+s alt+d F12 KP_Add)

# Keys and clicks at the centre of the screen, where the window will be: with
# no window manager the keyboard focus follows the pointer.
burst_at_centre()
{
    local until=$1
    while [[ ${EPOCHREALTIME/./} -lt $until ]]; do
        xdotool key --delay 1 "${BURST[@]}" 2>/dev/null
        xdotool click 1 2>/dev/null
    done
}

when=${1:?when}
e2e_require Xvfb xdotool pulseaudio pactl
e2e_init
e2e_start_x
e2e_start_audio
eval "$(xdotool getdisplaygeometry --shell)"
xdotool mousemove $((WIDTH / 2)) $((HEIGHT / 2 + 40))

case $when in
    start-up)
        burst_at_centre $((${EPOCHREALTIME/./} + 4000000)) &
        burster=$!
        e2e_launch "${PLINKORA:?path of the plinkora binary}"
        e2e_wait_window
        wait "$burster"
        kill -0 "$E2E_APP_PID" 2>/dev/null || e2e_fail "died during start-up: $(cat "$E2E_DIR/app.log")"
        e2e_focus
        e2e_press_key Escape
        ;;
    after-esc | after-sigterm)
        e2e_launch "${PLINKORA:?path of the plinkora binary}"
        e2e_wait_window
        e2e_focus
        if [[ $when == after-esc ]]; then
            e2e_press_key Escape "${BURST[@]}"
        else
            kill -TERM "$E2E_APP_PID"
        fi
        burst_at_centre $((${EPOCHREALTIME/./} + 1000000))
        ;;
    *) e2e_fail "unknown moment: $when" ;;
esac
rel_expect_exit 0
rel_expect_output 0
