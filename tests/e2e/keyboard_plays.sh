#!/usr/bin/env bash
# The computer keyboard plays the real program: keys across the three octaves
# (letters, digits and the punctuation keys) sound note 48 + their key index;
# T, Y, keypad 1 (with and without NumLock) and the F-keys sound nothing; F2
# turns H into a glockenspiel and F1 back into the piano; Esc ends the program
# with status 0.
#   PLINKORA=... PLINKORA_ANALYSIS=... PLINKORA_X11PROBE=... keyboard_plays.sh
set -u
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

readonly SECONDS_BETWEEN_NOTES=0.8
# xdotool key name and the MIDI note it plays on a US layout, low to high;
# no note twice, so that one still ringing cannot pass for a later one.
# Shift, Ctrl and Alt change nothing.
readonly PLAYED=(
    q:48 shift+w:50 2:51 e:52 z:54 ctrl+c:58
    alt+m:68 comma:70 semicolon:71
    apostrophe:72 period:73 slash:75 8:78 bracketleft:81 0:82 bracketright:83
)
# By keycode: the keysym KP_1 would make xdotool switch NumLock on.
readonly KEYPAD_1=87 NUM_LOCK=77
readonly E4=64
# Timbre distance of two E4s (see plinkora-analysis): the piano against itself
# measures about 0.06, the glockenspiel against the piano 0.24 to 0.55.
readonly OTHER_TIMBRE=0.15

e2e_require Xvfb xdotool pulseaudio parec pactl
e2e_require_probe
e2e_init
e2e_start_x
e2e_start_audio

# One recording from a fresh start, so that nothing rings from before it.
play_keyboard()
{
    e2e_launch "${PLINKORA:?path of the plinkora binary}"
    e2e_wait_window
    e2e_focus
    [[ $(e2e_probe numlock) == off ]] || e2e_fail "NumLock is on before the test"

    # Keys without an action first: the first sound must be the first played key's.
    e2e_start_recording
    for key in t y "$KEYPAD_1"; do
        e2e_press_key "$key"
        e2e_pause 0.3
    done
    e2e_press_key "$NUM_LOCK"
    [[ $(e2e_probe numlock) == on ]] || e2e_fail "cannot switch NumLock on"
    e2e_press_key "$KEYPAD_1"
    e2e_pause 0.3
    e2e_press_key "$NUM_LOCK"
    [[ $(e2e_probe numlock) == off ]] || e2e_fail "cannot switch NumLock off"
    e2e_press_key F2
    e2e_pause 0.3
    e2e_pause 0.5
    # The glockenspiel sounds octaves away from its note, so H heard as E4
    # after F1 but not after F2 says that both worked; so does the timbre.
    # The two come first, over little else that sounds: the timbre of a note
    # that rises over many others is too rough to compare.
    local glockenspiel_h=0 piano_h=1 expected=("!$E4" "$E4") entry distance
    e2e_play_key h
    e2e_pause "$SECONDS_BETWEEN_NOTES"
    e2e_press_key F1
    e2e_pause 0.3
    e2e_play_key h
    e2e_pause "$SECONDS_BETWEEN_NOTES"
    for entry in "${PLAYED[@]}"; do
        e2e_play_key "${entry%:*}"
        expected+=("${entry#*:}")
        e2e_pause "$SECONDS_BETWEEN_NOTES"
    done
    e2e_stop_recording
    e2e_check_first_sound && e2e_check_notes "${expected[@]}" || return 1

    distance=$(e2e_timbre_distance "$glockenspiel_h" "$piano_h" "$E4")
    e2e_log "timbre distance of the E4s after F2 and after F1: $distance"
    if ! awk -v d="$distance" -v limit="$OTHER_TIMBRE" 'BEGIN { exit !(d > limit) }'; then
        e2e_log "F2 did not change the instrument"
        return 1
    fi

    e2e_press_key Escape
    e2e_wait_exit 10 || e2e_fail "still running 10 s after Esc"
    [[ $E2E_EXIT_STATUS -eq 0 ]] || e2e_fail "exit status $E2E_EXIT_STATUS; log: $(cat "$E2E_DIR/app.log")"
}

e2e_retry_if_stalled play_keyboard
