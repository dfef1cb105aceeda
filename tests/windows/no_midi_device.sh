#!/usr/bin/env bash
# Plinkora.exe with Wine's own winmm.dll on a machine without a MIDI device
# (device 0 cannot be opened): the window opens and takes keys, clicks and
# F-keys silently, shows no message box or crash dialog, writes nothing, and
# Esc ends it with status 0.
#   PLINKORA_EXE=... PLINKORA_WINEPREFIX=... no_midi_device.sh
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine_harness.sh"

wine_init
e2e_start_x
wine_winmm wine
wine_launch "${PLINKORA_EXE:?path of Plinkora.exe}"
e2e_wait_window 60
e2e_focus
e2e_press_key q semicolon bracketright F2 f F12 h
e2e_click_key 12
e2e_click_key 22
e2e_focus
e2e_press_key apostrophe
sleep 1
_e2e_app_gone && e2e_fail "ended while playing; log: $(cat "$E2E_DIR/app.log")"
others=$(wine_other_windows)
[[ -z $others ]] || e2e_fail "other windows appeared: $others"
[[ ! -s $WINE_CALLS ]] || e2e_fail "the recording winmm.dll was loaded: $(head -3 "$WINE_CALLS")"
e2e_press_key Escape
e2e_wait_exit 20 || e2e_fail "still running 20 s after Esc"
[[ $E2E_EXIT_STATUS -eq 0 ]] || e2e_fail "exit status $E2E_EXIT_STATUS; log: $(cat "$E2E_DIR/app.log")"
# Wine's MIDI driver reports through libasound that the machine has no sound
# card; nothing else may be written.
written=$(grep -v '^ALSA lib ' "$E2E_DIR/app.log")
[[ -z $written ]] || e2e_fail "the program wrote: $written"
