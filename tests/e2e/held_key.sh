#!/usr/bin/env bash
# A key held down, with the X server's auto-repeat on, floods the program with
# presses: the note sounds and each repeat strikes it again, which the level
# shows; and the program stays responsive: the next key plays its own note and
# Esc still ends it.
#   PLINKORA=... PLINKORA_ANALYSIS=... PLINKORA_X11PROBE=... held_key.sh
set -u
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

readonly F_KEY=41 G_KEY=42  # X keycodes; F plays C4 (60), G plays D4 (62)
readonly HOLD_SECONDS=1.5   # the X server repeats after 660 ms, 25 times a second
# From the note's start: a stretch before the repeats, one while they strike.
readonly SINGLE=(0.3 0.3) REPEATED=(0.95 0.3)
# A struck piano note dies away; repeated strikes pile up (about +10 dB).
readonly RISE_DB=3

e2e_require Xvfb xdotool pulseaudio parec pactl
e2e_require_probe
e2e_init
e2e_start_x
e2e_start_audio
[[ $(e2e_probe autorepeat on) == on ]] || e2e_fail "cannot switch the X server's auto-repeat on"

hold_key()
{
    e2e_launch "${PLINKORA:?path of the plinkora binary}"
    e2e_wait_window
    e2e_focus
    e2e_start_recording
    E2E_PRESSES+=("$EPOCHREALTIME")
    xdotool keydown "$F_KEY"
    e2e_pause "$HOLD_SECONDS"
    xdotool keyup "$F_KEY"
    e2e_pause 0.3
    e2e_play_key "$G_KEY"
    e2e_pause 1
    e2e_stop_recording
    e2e_check_first_sound && e2e_check_notes 60 62 || return 1

    local start single repeated
    start=$(e2e_heard_at 0)
    single=$(e2e_level "$(awk -v s="$start" -v d="${SINGLE[0]}" 'BEGIN { print s + d }')" "${SINGLE[1]}")
    repeated=$(e2e_level "$(awk -v s="$start" -v d="${REPEATED[0]}" 'BEGIN { print s + d }')" "${REPEATED[1]}")
    e2e_log "level of the held note: $single dB, then $repeated dB while the key repeats"
    if ! awk -v a="$single" -v b="$repeated" -v rise="$RISE_DB" 'BEGIN { exit !(b > a + rise) }'; then
        e2e_log "the key's auto-repeat did not strike the note again"
        return 1
    fi

    local since=$EPOCHREALTIME
    e2e_press_key Escape
    e2e_wait_exit 10 || e2e_fail "still running 10 s after Esc"
    e2e_log "ended $(_e2e_seconds_since "$since") s after Esc"
    [[ $E2E_EXIT_STATUS -eq 0 ]] || e2e_fail "exit status $E2E_EXIT_STATUS; log: $(cat "$E2E_DIR/app.log")"
}

e2e_retry_if_stalled hold_key
