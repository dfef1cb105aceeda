#!/usr/bin/env bash
# Clicks a white key and a black key of the real program and listens: the
# notes that start must be those keys' notes. Then Esc must end the program
# with status 0. E2E_AUDIO=pipewire: on PipeWire rather than PulseAudio.
#   PLINKORA=<build>/app/plinkora PLINKORA_ANALYSIS=<build>/tests/analysis/plinkora-analysis play_and_quit.sh
set -u
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

readonly WHITE_KEY=12  # C4, note 60: clicked below the black keys
readonly BLACK_KEY=22  # A#4, note 70: clicked where it covers A4
readonly FIRST_NOTE=48
readonly SECONDS_BETWEEN_NOTES=0.8

e2e_require Xvfb xdotool
e2e_require_audio
e2e_init
e2e_start_x
e2e_start_audio

play_and_quit()
{
    e2e_launch "${PLINKORA:?path of the plinkora binary}"
    e2e_wait_window
    e2e_log "window ${E2E_WIN_W}x${E2E_WIN_H} at ${E2E_WIN_X},${E2E_WIN_Y} after ${E2E_WINDOW_SECONDS} s"

    e2e_start_recording
    e2e_click_key "$WHITE_KEY"
    e2e_pause "$SECONDS_BETWEEN_NOTES"
    e2e_click_key "$BLACK_KEY"
    e2e_pause 1
    e2e_stop_recording
    e2e_check_first_sound && e2e_check_notes $((FIRST_NOTE + WHITE_KEY)) $((FIRST_NOTE + BLACK_KEY)) || return 1

    e2e_focus
    e2e_press_key Escape
    e2e_wait_exit 10 || e2e_fail "still running 10 s after Esc"
    e2e_log "exited with status $E2E_EXIT_STATUS ${E2E_EXIT_SECONDS} s after Esc"
    [[ $E2E_EXIT_STATUS -eq 0 ]] || e2e_fail "exit status $E2E_EXIT_STATUS; log: $(cat "$E2E_DIR/app.log")"
    [[ ! -s $E2E_DIR/app.log ]] || e2e_fail "the program wrote: $(cat "$E2E_DIR/app.log")"
}

e2e_retry_if_stalled play_and_quit
