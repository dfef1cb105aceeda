#!/usr/bin/env bash
# The keyboard map follows physical keys, not the characters a layout puts on
# them: on German and French layouts the same X keycodes play the same notes
# as on the US layout, and a key that types Z there (where US has Y) is silent.
#   PLINKORA=... PLINKORA_ANALYSIS=... PLINKORA_X11PROBE=... keyboard_layouts.sh
set -u
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

readonly SECONDS_BETWEEN_NOTES=0.8
# X keycode, what it types on the layout, and the note of the US key there.
readonly SILENT_FR=(12:quotedbl)
readonly SILENT_DE=(29:z 20:ssharp)
readonly PLAYED_DE=(52:y:54 47:odiaeresis:71 48:adiaeresis:72 34:udiaeresis:81 35:plus:83 59:comma:70 61:minus:75)
readonly PLAYED_FR=(24:a:48 38:q:55 25:z:50 10:ampersand:49 58:comma:68 60:semicolon:73)

e2e_require Xvfb xdotool setxkbmap pulseaudio parec pactl
e2e_init
e2e_start_x
e2e_start_audio

press_silent()
{
    local entry
    for entry in "$@"; do
        e2e_press_key "${entry%%:*}"
        e2e_pause 0.3
    done
}

EXPECTED=()
play()
{
    local entry
    for entry in "$@"; do
        e2e_play_key "${entry%%:*}"
        EXPECTED+=("${entry##*:}")
        e2e_pause "$SECONDS_BETWEEN_NOTES"
    done
}

# One recording from a fresh start: the silent keys first, so that the first
# sound must be the first played key's.
play_layouts()
{
    e2e_launch "${PLINKORA:?path of the plinkora binary}"
    e2e_wait_window
    e2e_focus
    e2e_start_recording
    EXPECTED=()
    e2e_layout fr
    press_silent "${SILENT_FR[@]}"
    e2e_layout de
    press_silent "${SILENT_DE[@]}"
    e2e_pause 0.5
    play "${PLAYED_DE[@]}"
    e2e_layout fr
    play "${PLAYED_FR[@]}"
    e2e_stop_recording
    e2e_check_first_sound && e2e_check_notes "${EXPECTED[@]}" || return 1
    e2e_press_key Escape
    e2e_wait_exit 10 || e2e_fail "still running 10 s after Esc"
    [[ $E2E_EXIT_STATUS -eq 0 ]] || e2e_fail "exit status $E2E_EXIT_STATUS; log: $(cat "$E2E_DIR/app.log")"
}

e2e_retry_if_stalled play_layouts
