#!/usr/bin/env bash
# Plinkora.exe's answers reach the console of the program that started it, as
# on Windows, where a GUI program has no console of its own: cmd.exe on a
# console (Wine's, on a pseudo-terminal) starts it with `start /wait`, which
# hands it no standard handles, and --help, --list-midi-outputs and a refused
# --midi-out are printed on that console. Started with no console at all (as
# from Explorer), it prints nothing, shows nothing and answers with status 0.
#   PLINKORA_EXE=... PLINKORA_WINEPREFIX=... console.sh
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine_harness.sh"

readonly EXE=${PLINKORA_EXE:?path of Plinkora.exe}

# What cmd.exe's console showed when it ran ARGS... (`script` gives it a terminal).
console_shows()
{
    local command
    printf -v command '%q ' "$WINE" cmd /c start /wait "$(_wine_dos_path "$EXE")" "$@"
    WINEDLLOVERRIDES="$WINE_DLLS" timeout 60 script -qfec "stty cols 200 rows 50; $command" /dev/null |
        tr -d '\r' >"$E2E_DIR/console"
}

expect_on_console()
{
    local expected=$1
    shift
    console_shows "$@"
    grep -qF -- "$expected" "$E2E_DIR/console" ||
        e2e_fail "$* did not show \"$expected\" on the console:"$'\n'"$(cat -v "$E2E_DIR/console")"
    e2e_log "$*: \"$expected\" on the console"
}

wine_init
e2e_require script
e2e_start_x
wine_winmm recording
expect_on_console "--midi-out <device>" --help
expect_on_console "2: ${WINE_DEVICE_NAMES[2]}" --list-midi-outputs
expect_on_console "plinkora: no MIDI output device 7 (the system has 3:" --midi-out 7

# No console: `start` from outside any console, as Explorer starts a program.
WINEDLLOVERRIDES="$WINE_DLLS" timeout 60 "$WINE" start /wait "$(_wine_dos_path "$EXE")" --help \
    >"$E2E_DIR/out" 2>"$E2E_DIR/err"
status=$?
[[ $status -eq 0 ]] || e2e_fail "without a console, --help ended with status $status"
[[ ! -s $E2E_DIR/out && ! -s $E2E_DIR/err ]] ||
    e2e_fail "without a console, written: $(cat "$E2E_DIR/out" "$E2E_DIR/err")"
others=$(wine_other_windows)
[[ -z $others ]] || e2e_fail "windows appeared: $others"
e2e_log "without a console: nothing written or shown, status 0"
