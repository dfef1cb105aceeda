#!/usr/bin/env bash
# The installer as a Windows user meets it: `setup.exe /S` installs per machine
# into Program Files with a Start-menu entry and an uninstall entry; the
# installed program plays and quits; `Uninstall.exe /S` removes all of it and
# leaves no file behind.
#   PLINKORA_INSTALLER=... PLINKORA_WINEPREFIX=... installer.sh
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine_harness.sh"

readonly PROGRAM_DIR='C:\Program Files\Plinkora'
readonly START_MENU_ENTRY='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Plinkora.lnk'
readonly UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Plinkora'

# Every file and folder of the prefix's drive C:. An NSIS uninstaller runs
# from a copy of itself in the temporary folder, which it removes; the empty
# folder of that copy is left for Windows to remove at the next restart.
drive_c_listing()
{
    (cd "$WINEPREFIX/drive_c" && find . -type d -name '~nsu*.tmp' -empty -prune -o -print | LC_ALL=C sort)
}

registry_has_key() { wine_run reg query "$UNINSTALL_KEY" >/dev/null 2>&1; }

wine_init
e2e_start_x
# A run that failed before its uninstall left the program in the prefix.
if [[ -e $(wine_prefix_path "$PROGRAM_DIR\\Uninstall.exe") ]]; then
    e2e_log "left installed by an earlier run: uninstalling it first"
    wine_run "$(wine_prefix_path "$PROGRAM_DIR\\Uninstall.exe")" /S
    "$WINESERVER" -w
fi
[[ ! -e $(wine_prefix_path "$PROGRAM_DIR") ]] || e2e_fail "already installed in the prefix"
drive_c_listing >"$E2E_DIR/before"

wine_run "${PLINKORA_INSTALLER:?path of the installer}" /S || e2e_fail "the installer failed ($?)"
"$WINESERVER" -w
for path in "$PROGRAM_DIR\\Plinkora.exe" "$PROGRAM_DIR\\platforms\\qwindows.dll" \
            "$PROGRAM_DIR\\imageformats\\qjpeg.dll" "$PROGRAM_DIR\\Uninstall.exe" "$START_MENU_ENTRY"; do
    [[ -f $(wine_prefix_path "$path") ]] || e2e_fail "not installed: $path"
done
registry_has_key || e2e_fail "no uninstall entry $UNINSTALL_KEY"
e2e_log "installed: $(find "$(wine_prefix_path "$PROGRAM_DIR")" -type f | wc -l) files"

wine_start_recorded "$(wine_prefix_path "$PROGRAM_DIR\\Plinkora.exe")"
wine_play 12 22 23
wine_quit_recorded Escape 23
"$WINESERVER" -w

wine_run "$(wine_prefix_path "$PROGRAM_DIR\\Uninstall.exe")" /S || e2e_fail "the uninstaller failed ($?)"
# The uninstaller runs from a copy of itself: wait for that too.
"$WINESERVER" -w
registry_has_key && e2e_fail "the uninstall entry is still there"
drive_c_listing >"$E2E_DIR/after"
diff -u "$E2E_DIR/before" "$E2E_DIR/after" >"$E2E_DIR/left" ||
    e2e_fail "not as before the installation (- gone, + left behind):"$'\n'"$(cat "$E2E_DIR/left")"
e2e_log "uninstalled: nothing left"
