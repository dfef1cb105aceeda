#!/usr/bin/env bash
# The Debian package on a real system: installed as a user installs it
# (apt-get install ./plinkora_*.deb), the installed /usr/bin/plinkora played
# and quit in the end-to-end harness, then purged, leaving nothing behind.
#   install_and_purge.sh DEB BUILD_DIR    (BUILD_DIR has tests/analysis/plinkora-analysis)
# It installs system-wide, so it runs as root only (exit 77 otherwise), and it
# refuses a system where plinkora is installed already: it would remove it.
set -euo pipefail

deb=$(realpath "${1:?path of plinkora_<version>_<arch>.deb}")
build=$(realpath "${2:?build directory}")
here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")

say() { printf 'package: %s\n' "$*"; }
fail() { printf 'package: FAIL: %s\n' "$*" >&2; exit 1; }

if [[ $(id -u) -ne 0 ]]; then
    say "skipped: installing and purging the package system-wide needs root"
    exit 77
fi
status=$(dpkg-query -W -f='${db:Status-Status}' plinkora 2>/dev/null || true)
[[ -z $status || $status == not-installed ]] || fail "plinkora is on this system already ($status)"

# What the package brings: its paths that the system does not have yet.
mapfile -t paths < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -n 's|^\./\(.*[^/]\)/*$|/\1|p')
brought=()
for path in "${paths[@]}"; do
    [[ -e $path ]] || brought+=("$path")
done

say "apt-get install $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb"
# Whatever fails below, the system is left as it was found.
trap 'DEBIAN_FRONTEND=noninteractive apt-get purge -y -q plinkora >/dev/null 2>&1 || true' EXIT

expected=(/usr/bin/plinkora /usr/share/applications/org.plinkora.Plinkora.desktop
          /usr/share/metainfo/org.plinkora.Plinkora.metainfo.xml /usr/share/man/man1/plinkora.1.gz
          /usr/share/doc/plinkora/copyright /usr/share/doc/plinkora/changelog.gz
          /usr/share/plinkora/plinkora.sf2 /usr/share/plinkora/plinkora.sf2.txt)
for size in 16 32 48 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/org.plinkora.Plinkora.png")
done
for path in "${expected[@]}"; do
    [[ -f $path ]] || fail "not installed: $path"
done

# The package that has a library file, by the path the loader found it at
# (/lib and /usr/lib are one directory, dpkg knows one of the two names).
owner_of()
{
    local candidate found
    for candidate in "$1" "/usr$1" "${1#/usr}"; do
        found=$(dpkg-query -S "$candidate" 2>/dev/null) && { cut -d: -f1 <<<"${found%%$'\n'*}"; return; }
    done
}

# Every library the program is linked with comes from a package it depends on.
depends=$(dpkg-query -W -f='${Depends}' plinkora)
depended=$(awk -v RS='[,|]' '{ print $1 }' <<<"$depends")
loaded=$(ldd /usr/bin/plinkora)
while read -r library; do
    # ldd names the dynamic loader by its path, with no "=>".
    path=$(awk -v l="$library" '$1 == l && $2 == "=>" { print $3 } $1 ~ "/" l "$" { print $1 }' <<<"$loaded")
    [[ -n $path ]] || fail "the loader does not find $library"
    owner=$(owner_of "$path")
    [[ -n $owner ]] || fail "no package has $path"
    grep -qxF "$owner" <<<"$depended" || fail "$library comes from $owner, which Depends ($depends) lacks"
done < <(objdump -p /usr/bin/plinkora | awk '$1 == "NEEDED" { print $2 }')
say "Depends: $depends"
# Without Qt's Wayland plugin a Wayland desktop shows the window through
# XWayland, pixels doubled where the screen is scaled.
recommends=$(dpkg-query -W -f='${Recommends}' plinkora)
grep -qw qt6-wayland <<<"$recommends" || fail "Recommends ($recommends) lacks qt6-wayland"

version=$(/usr/bin/plinkora --version)
[[ $version == "plinkora $(dpkg-query -W -f='${Version}' plinkora)" ]] || fail "--version says '$version'"

PLINKORA=/usr/bin/plinkora PLINKORA_ANALYSIS=$build/tests/analysis/plinkora-analysis bash "$here/../e2e/play_and_quit.sh" ||
    fail "the installed program did not play and quit"
PLINKORA=/usr/bin/plinkora PLINKORA_ANALYSIS=$build/tests/analysis/plinkora-analysis bash "$here/../e2e/every_instrument.sh" ||
    fail "the installed program did not play all twelve instruments"

say "apt-get purge plinkora"
trap - EXIT
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q plinkora
status=$(dpkg-query -W -f='${db:Status-Status}' plinkora 2>/dev/null || true)
[[ -z $status || $status == not-installed ]] || fail "after the purge, dpkg says: $status"
# A directory that the package's dependencies brought too is theirs now.
for path in "${brought[@]}"; do
    [[ ! -e $path && ! -L $path ]] || dpkg-query -S "$path" >/dev/null 2>&1 || fail "left after the purge: $path"
done
left=$(find /var/lib/dpkg/info -name 'plinkora[.:]*')
[[ -z $left ]] || fail "left after the purge: $left"
say "installed, played, purged: nothing left (${#brought[@]} paths checked)"
