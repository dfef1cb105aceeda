#!/usr/bin/env bash
# Every instrument of the function keys sounds: F1 to F12, each followed by
# H (E4), must each start a note (the glockenspiel, music box and bells sound
# in other octaves, so any note counts), and the program prints nothing.
# An instrument whose note was lost while the machine stalled is played again
# in a fresh program, up to twice; one lost on a machine that kept up fails.
#   PLINKORA=... PLINKORA_ANALYSIS=... every_instrument.sh
set -u
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

readonly SECONDS_BETWEEN_NOTES=0.8

e2e_require Xvfb xdotool pulseaudio parec pactl
e2e_init
e2e_start_x
e2e_start_audio

# Plays the instruments of the F-keys given, then Esc; leaves in `unheard`
# those after whose H no note started.
play_instruments()
{
    e2e_launch "${PLINKORA:?path of the plinkora binary}"
    e2e_wait_window
    e2e_focus
    e2e_start_recording
    local f expected=()
    for f in "$@"; do
        e2e_press_key "F$f"
        e2e_pause 0.3
        e2e_play_key h
        expected+=('*')
        e2e_pause "$SECONDS_BETWEEN_NOTES"
    done
    e2e_stop_recording
    E2E_HEARD=
    e2e_check_notes "${expected[@]}"
    mapfile -t notes < <(awk '{ print $4 }' <<<"$E2E_HEARD")
    unheard=()
    for f in "${!notes[@]}"; do
        [[ ${notes[f]:-none} != none ]] || unheard+=("${@:f+1:1}")
    done
    ((${#notes[@]} == $#)) || unheard=("$@")
    e2e_press_key Escape
    e2e_wait_exit 10 || e2e_fail "still running 10 s after Esc"
    [[ $E2E_EXIT_STATUS -eq 0 ]] || e2e_fail "exit status $E2E_EXIT_STATUS"
    [[ ! -s $E2E_DIR/app.log ]] || e2e_fail "the program wrote: $(cat "$E2E_DIR/app.log")"
}

unheard=({1..12})
for attempt in 1 2 3; do
    play_instruments "${unheard[@]}"
    ((${#unheard[@]})) || exit 0
    ((${#E2E_STALLS[@]})) || break
    e2e_log "not heard while the machine stalled (${E2E_STALLS[*]}): F${unheard[*]}; once more"
done
e2e_fail "no note after F${unheard[*]}"
