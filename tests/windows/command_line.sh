#!/usr/bin/env bash
# Plinkora.exe's command line under Wine, with the recording winmm.dll's three
# devices: `list` lists them; `refused`: a number or name that is not there
# gives one line naming them, status 2, nothing opened; `console`: the answers
# reach the console of cmd.exe (Wine's, on a terminal from `script`), whose
# `start /wait` hands a GUI program no standard handles, as Windows does, and
# without a console nothing is written or shown; `CHOICE N`: --midi-out CHOICE
# plays on device N exactly as on device 0.
#   PLINKORA_EXE=... PLINKORA_WINEPREFIX=... command_line.sh list|refused|console|CHOICE N
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine_harness.sh"

readonly EXE=${PLINKORA_EXE:?path of Plinkora.exe}
there="the system has 3: 0 ${WINE_DEVICE_NAMES[0]}, 1 ${WINE_DEVICE_NAMES[1]}, 2 ${WINE_DEVICE_NAMES[2]}"

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

expect_on_console()
{
    local expected=$1 command
    shift
    printf -v command '%q ' "$WINE" cmd /c start /wait "$(_wine_dos_path "$EXE")" "$@"
    WINEDLLOVERRIDES="$WINE_DLLS" timeout 60 script -qfec "stty cols 200 rows 50; $command" /dev/null >"$E2E_DIR/console"
    grep -qF -- "$expected" "$E2E_DIR/console" || e2e_fail "$*: not on the console: $expected"$'\n'"$(cat -v "$E2E_DIR/console")"
    e2e_log "$*: on the console"
}

wine_init
e2e_start_x
wine_winmm recording
case ${1:?list, refused, console or a choice} in
    list)
        expect_answer 0 "$(for i in 0 1 2; do echo "$i: ${WINE_DEVICE_NAMES[i]}"; done)" "" --list-midi-outputs ;;
    refused)
        expect_answer 2 "" "plinkora: no MIDI output device 3 ($there)" --midi-out 3
        expect_answer 2 "" "plinkora: no MIDI output device 18446744073709551616 ($there)" --midi-out 18446744073709551616
        expect_answer 2 "" "plinkora: no MIDI output device's name contains \"Recorder\" ($there)" --midi-out Recorder ;;
    console)
        e2e_require script
        expect_on_console "--midi-out <device>" --help
        expect_on_console "2: ${WINE_DEVICE_NAMES[2]}" --list-midi-outputs
        expect_on_console "plinkora: no MIDI output device 7 ($there)" --midi-out 7
        WINEDLLOVERRIDES="$WINE_DLLS" timeout 60 "$WINE" start /wait "$(_wine_dos_path "$EXE")" --help &>"$E2E_DIR/out"
        status=$?
        [[ $status -eq 0 && ! -s $E2E_DIR/out && -z $(wine_other_windows) ]] ||
            e2e_fail "without a console: status $status, written: $(cat "$E2E_DIR/out"), windows: $(wine_other_windows)"
        e2e_log "without a console: nothing written or shown" ;;
    *)
        WINE_DEVICE=${2:?the device CHOICE picks}
        wine_start_recorded "$EXE" --midi-out "$1"
        wine_play 12 23
        e2e_press_key F2
        wine_program_change 9 >>"$E2E_DIR/expected"
        wine_quit_recorded Escape 23 ;;
esac
