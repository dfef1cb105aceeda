#!/usr/bin/env bash
# Plinkora.exe's MIDI output device under Wine, among the recording
# winmm.dll's three:
#   list          --list-midi-outputs prints them in order, number and name
#   refused       a number out of range or a name that matches nothing: one
#                 line naming the devices, status 2, no device opened
#   CHOICE N      --midi-out CHOICE (a number, or a part of a name in any case:
#                 the first device whose name contains it) opens device N and
#                 sends it exactly what device 0 gets when nothing is chosen
#   PLINKORA_EXE=... PLINKORA_WINEPREFIX=... midi_devices.sh list|refused|CHOICE N
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine_harness.sh"

readonly EXE=${PLINKORA_EXE:?path of Plinkora.exe}

expect_answer()
{
    local status=$1 out=$2 err=$3
    shift 3
    wine_answer "$EXE" "$@"
    [[ $WINE_STATUS -eq $status && $WINE_OUT == "$out" && $WINE_ERR == "$err" ]] ||
        e2e_fail "$*: status $WINE_STATUS (expected $status)"$'\n'"stdout: $WINE_OUT"$'\n'"stderr: $WINE_ERR"
    ! grep -q '^midiOutOpen' "$WINE_CALLS" 2>/dev/null || e2e_fail "$*: a device was opened: $(cat "$WINE_CALLS")"
    e2e_log "$*: as expected"
}

wine_init
e2e_start_x
case ${1:?list, refused or a choice} in
    list)
        expected=$(for i in "${!WINE_DEVICE_NAMES[@]}"; do echo "$i: ${WINE_DEVICE_NAMES[i]}"; done)
        expect_answer 0 "$expected" "" --list-midi-outputs
        ;;
    refused)
        there="the system has 3: 0 ${WINE_DEVICE_NAMES[0]}, 1 ${WINE_DEVICE_NAMES[1]}, 2 ${WINE_DEVICE_NAMES[2]}"
        expect_answer 2 "" "plinkora: no MIDI output device 3 ($there)" --midi-out 3
        expect_answer 2 "" "plinkora: no MIDI output device 18446744073709551616 ($there)" \
            --midi-out 18446744073709551616
        expect_answer 2 "" "plinkora: no MIDI output device's name contains \"Recorder\" ($there)" --midi-out Recorder
        ;;
    *)
        WINE_DEVICE=${2:?the device CHOICE picks}
        wine_start_recorded "$EXE" --midi-out "$1"
        wine_play 12 23
        e2e_press_key F2
        wine_program_change 9 >>"$E2E_DIR/expected"
        wine_quit_recorded Escape 23
        ;;
esac
