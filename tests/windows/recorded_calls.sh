#!/usr/bin/env bash
# Plinkora.exe under Wine with a recording winmm.dll: it opens device 0 with
# callback, instance and flags 0 and selects program 0; each of the 36 piano
# keys pressed through the X server sends its exact note-on, F1 to F12 their
# program changes; QUIT (Escape, or alt+F4 as the desktop closes a window)
# sends one note-off for the last note and one close, and the process ends
# with status 0.
#   PLINKORA_EXE=... PLINKORA_WINEPREFIX=... recorded_calls.sh Escape|alt+F4
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine_harness.sh"

readonly QUIT=${1:?Escape or alt+F4}

wine_init
e2e_start_x
wine_start_recorded "${PLINKORA_EXE:?path of Plinkora.exe}"
wine_play $(seq 0 35)
for f in "${!WINE_PROGRAMS[@]}"; do
    e2e_press_key "F$((f + 1))"
    wine_program_change "${WINE_PROGRAMS[f]}" >>"$E2E_DIR/expected"
done
wine_quit_recorded "$QUIT" 35
