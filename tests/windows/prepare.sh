#!/usr/bin/env bash
# What the Wine tests share, made before them: the private Wine prefix (made
# once per build tree, about half a minute, with Windows' default font
# smoothing), the recording winmm.dll in its system32 (loaded instead of
# Wine's when a test overrides winmm to native), and the portable zip
# unpacked as a user would, whose Plinkora.exe they run.
#   PLINKORA_WINEPREFIX=<dir> PLINKORA_RECORDING_WINMM=<dll> PLINKORA_ZIP=<zip> \
#   PLINKORA_UNZIPPED=<dir> prepare.sh
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine_harness.sh"

prefix=${PLINKORA_WINEPREFIX:?} zip=${PLINKORA_ZIP:?} unzipped=${PLINKORA_UNZIPPED:?}
[[ -f ${PLINKORA_RECORDING_WINMM:?} ]] || e2e_fail "no recording winmm.dll at $PLINKORA_RECORDING_WINMM"
[[ -f $zip ]] || e2e_fail "no zip at $zip: run ./build.sh windows"

if [[ ! -f $prefix/plinkora-ready ]]; then
    [[ -x $WINE ]] || { e2e_log "skipped: no $WINE (Debian: wine64)"; exit 77; }
    e2e_require Xvfb
    e2e_init
    e2e_start_x
    rm -rf "$prefix"
    e2e_log "making the Wine prefix $prefix"
    # No Mono or Gecko: nothing here needs them, and their installers would ask.
    WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
        "$WINE" wineboot -i >"$E2E_DIR/wineboot.log" 2>&1 || e2e_fail "wineboot failed: $(tail "$E2E_DIR/wineboot.log")"
    # Font smoothing as Windows has it out of the box (ClearType; Wine's own
    # default is the older standard smoothing).
    WINEPREFIX=$prefix WINEDEBUG=-all "$WINE" reg add 'HKCU\Control Panel\Desktop' /v FontSmoothingType \
        /t REG_DWORD /d 2 /f >>"$E2E_DIR/wineboot.log" 2>&1 || e2e_fail "cannot set ClearType: $(tail "$E2E_DIR/wineboot.log")"
    WINEPREFIX=$prefix "$WINESERVER" -w
    touch "$prefix/plinkora-ready"
fi
cp "$PLINKORA_RECORDING_WINMM" "$prefix/drive_c/windows/system32/winmm.dll"

rm -rf "$unzipped"
mkdir -p "$unzipped"
(cd "$unzipped" && cmake -E tar xf "$zip") || e2e_fail "cannot unpack $zip"
e2e_log "unpacked $zip: $(find "$unzipped" -type f | wc -l) files"
