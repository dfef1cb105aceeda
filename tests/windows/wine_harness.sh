# shellcheck shell=bash disable=SC2034  # the WINE_ and E2E_ variables are for the scripts that source this
# Plinkora.exe under Wine, as a Windows user meets it: the end-to-end harness
# (a private Xvfb, xdotool) with a private Wine prefix. Source it, then:
#   wine_init                     e2e_init and Wine's environment: the prefix
#                                 $PLINKORA_WINEPREFIX, no debug output, no menu
#                                 entries written to the desktop; Wine's own
#                                 processes are ended on exit
#   wine_winmm recording|wine     the winmm.dll the next launch gets: the recording one
#                                 (the prefix's system32 holds it) or Wine's own
#   wine_launch EXE [ARG...]      e2e_launch through wine64; the calls the recording
#                                 winmm.dll sees go to $WINE_CALLS
#   wine_answer EXE [ARG...]      run EXE to its end with the recording winmm.dll (an
#                                 answer, no window): $WINE_STATUS, $WINE_OUT, $WINE_ERR
#   wine_expect_calls EXPECTED    the recorded midiOut calls are exactly the lines of
#                                 the file EXPECTED, or fail showing the difference
#   wine_other_windows            names of visible windows other than the program's
#                                 (a message box, a crash dialog)
#   wine_prefix_path WINPATH      the Linux path of a path in the prefix (C:\...)
#   wine_run EXE [ARG...]         run a Windows program to its end (installer, reg)
#   wine_start_recorded EXE [ARG...]  launch with the recording winmm.dll, wait for the
#                                 window and the open of device $WINE_DEVICE, focus it
#   wine_play K...                press the computer keys of piano keys K (0..35)
#   wine_quit_recorded KEYS LAST  quit with KEYS (Escape, alt+F4): exactly the calls
#                                 expected since the start, LAST's note-off and a close
# The e2e_ functions of ../e2e/harness.sh work on the launched program.

source "$(dirname "${BASH_SOURCE[0]}")/../e2e/harness.sh"

WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
# What the recording winmm.dll answers, and so what the scenarios expect: its
# devices, and the handle of device N, 0x5ec0de00d0 + N.
readonly WINE_DEVICE_NAMES=("Recording Wavetable Synth" "Recording Loopback Port" "Recording Soft Synth")
WINE_DEVICE=0

wine_init()
{
    [[ -x $WINE && -x $WINESERVER ]] || { e2e_log "skipped: no $WINE (Debian: wine64)"; exit 77; }
    e2e_require Xvfb xdotool
    [[ -f ${PLINKORA_WINEPREFIX:?the Wine prefix that prepare.sh made}/plinkora-ready ]] ||
        e2e_fail "no Wine prefix at $PLINKORA_WINEPREFIX"
    e2e_init
    export WINEPREFIX=$PLINKORA_WINEPREFIX WINEDEBUG=-all WINEARCH=win64
    WINE_DLLS="mscoree,mshtml=;winemenubuilder.exe=d"
    WINE_CALLS=$E2E_DIR/winmm-calls.log
    trap _wine_teardown EXIT
}

# Wine's own processes first (they hold the X display), then the harness's.
_wine_teardown()
{
    local status=$?
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w 2>/dev/null
    (exit "$status")
    _e2e_teardown
}

wine_winmm()
{
    case $1 in
        recording) WINE_DLLS="mscoree,mshtml=;winemenubuilder.exe=d;winmm=n" ;;
        wine) WINE_DLLS="mscoree,mshtml=;winemenubuilder.exe=d;winmm=b" ;;
        *) e2e_fail "wine_winmm recording|wine, not $1" ;;
    esac
}

# The log's path as the program sees it: Wine's Z: drive is the Linux root.
_wine_dos_path() { local path=${1//\//\\}; echo "Z:$path"; }

wine_launch()
{
    [[ -f $1 ]] || e2e_fail "no program at $1"
    rm -f "$WINE_CALLS"
    E2E_LAUNCH_TIME=$EPOCHREALTIME
    WINEDLLOVERRIDES=$WINE_DLLS PLINKORA_WINMM_LOG=$(_wine_dos_path "$WINE_CALLS") \
        "$WINE" "$@" >"$E2E_DIR/app.log" 2>&1 &
    E2E_APP_PID=$!
    _e2e_pids+=("$E2E_APP_PID")
}

wine_run() { WINEDLLOVERRIDES=$WINE_DLLS "$WINE" "$@"; }

wine_answer()
{
    rm -f "$WINE_CALLS"
    wine_winmm recording
    WINEDLLOVERRIDES=$WINE_DLLS PLINKORA_WINMM_LOG=$(_wine_dos_path "$WINE_CALLS") \
        timeout 60 "$WINE" "$@" >"$E2E_DIR/out" 2>"$E2E_DIR/err"
    WINE_STATUS=$?
    # The C runtime writes Windows' line ends.
    WINE_OUT=$(tr -d '\r' <"$E2E_DIR/out") WINE_ERR=$(tr -d '\r' <"$E2E_DIR/err")
}

wine_expect_calls()
{
    local calls
    calls=$(grep '^midiOut' "$WINE_CALLS" 2>/dev/null)
    if ! diff -u "$1" - <<<"$calls" >"$E2E_DIR/calls.diff"; then
        e2e_fail "not the calls expected (- expected, + made):"$'\n'"$(cat "$E2E_DIR/calls.diff")"
    fi
    e2e_log "$(wc -l <<<"$calls") midiOut calls as expected"
}

wine_other_windows()
{
    local id
    for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        [[ $id == "${E2E_WIN:-}" ]] || xdotool getwindowname "$id"
    done
}

wine_prefix_path()
{
    local path=${1#[Cc]:}
    echo "$WINEPREFIX/drive_c${path//\\//}"
}

# The MIDI short messages of the scenarios, as the recording winmm.dll logs them.
_wine_handle() { printf '%#x' $((0x5ec0de00d0 + WINE_DEVICE)); }

wine_open_calls()
{
    printf 'midiOutClose handle 0 = 5\n'
    printf 'midiOutOpen device %d callback 0 instance 0 flags 0 = 0 handle %s\n' "$WINE_DEVICE" "$(_wine_handle)"
    wine_message_call 0xc0
}

wine_message_call() { printf 'midiOutShortMsg handle %s message %#010x = 0\n' "$(_wine_handle)" "$1"; }
wine_note_on() { wine_message_call $((0x640090 + $1 * 256)); }
wine_note_off() { wine_message_call $((0x80 + $1 * 256)); }
wine_program_change() { wine_message_call $((0xc0 + $1 * 256)); }
wine_close_call() { printf 'midiOutClose handle %s = 0\n' "$(_wine_handle)"; }

# The 36 piano keys as xdotool names them on a US layout, low to high: key
# index i plays note 48 + i.
readonly WINE_PIANO_KEYS=(q 1 w 2 e r z a x s c d f v g b h j n k m l comma semicolon
                          apostrophe period u slash i o 8 p 9 bracketleft 0 bracketright)
readonly WINE_FIRST_NOTE=48
# F1 to F12 choose these programs.
readonly WINE_PROGRAMS=(0 9 25 32 10 12 13 14 15 6 7 117)

# Starts EXE with the recording winmm.dll and waits for its window and the
# calls that open device $WINE_DEVICE; expected calls go to $E2E_DIR/expected.
wine_start_recorded()
{
    wine_winmm recording
    wine_launch "$@"
    e2e_wait_window 60
    e2e_log "window ${E2E_WIN_W}x${E2E_WIN_H} after ${E2E_WINDOW_SECONDS} s"
    wine_open_calls >"$E2E_DIR/expected"
    _e2e_poll 10 _wine_calls_at_least 3 || e2e_fail "device $WINE_DEVICE not opened: $(cat "$WINE_CALLS" 2>/dev/null)"
    e2e_focus
}

_wine_calls_at_least() { (($(grep -c '^midiOut' "$WINE_CALLS" 2>/dev/null) >= $1)); }

# Presses the piano keys given by index, each expected to send its note-on.
wine_play()
{
    local k
    for k in "$@"; do
        e2e_press_key "${WINE_PIANO_KEYS[k]}"
        wine_note_on $((WINE_FIRST_NOTE + k)) >>"$E2E_DIR/expected"
    done
}

# Ends the program with KEYS (Escape, alt+F4): one note-off for the note
# played LAST, one close, status 0, and nothing written.
wine_quit_recorded()
{
    local keys=$1 last=$2
    e2e_press_key "$keys"
    wine_note_off $((WINE_FIRST_NOTE + last)) >>"$E2E_DIR/expected"
    wine_close_call >>"$E2E_DIR/expected"
    e2e_wait_exit 20 || e2e_fail "still running 20 s after $keys"
    [[ $E2E_EXIT_STATUS -eq 0 ]] || e2e_fail "exit status $E2E_EXIT_STATUS after $keys; log: $(cat "$E2E_DIR/app.log")"
    wine_expect_calls "$E2E_DIR/expected"
    [[ ! -s $E2E_DIR/app.log ]] || e2e_fail "the program wrote: $(cat "$E2E_DIR/app.log")"
}
