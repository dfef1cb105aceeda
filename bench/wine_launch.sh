#!/usr/bin/env bash
# Launch to window of Plinkora.exe under Wine beside the Linux program: process
# start to the window mapped in a private Xvfb, polled every millisecond, the
# two taking turns (bench/e2e_launch.sh). Informative only: under Wine the
# figure includes Wine's own start of a Windows process; the wineserver is kept
# running, as on a desktop where Wine is in use.
#   bench/wine_launch.sh [RUNS]
# After ./build.sh test: the programs of build/ and build-windows/ (unpacked
# from the zip), the Wine tests' prefix, and build/bench/bench-xtool.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-15}
build=${PLINKORA_BUILD_DIR:-$root/build}
export BENCH_BIN=$build/bench
export WINEPREFIX=$build/tests/windows/wineprefix WINEDEBUG=-all
wine=/usr/lib/wine/wine64 exe=$build/tests/windows/unzipped/Plinkora/Plinkora.exe
for needed in "$BENCH_BIN/bench-xtool" "$WINEPREFIX/plinkora-ready" "$exe" "$wine"; do
    [[ -e $needed ]] || { echo "wine_launch.sh: no $needed (run ./build.sh test first)" >&2; exit 1; }
done

/usr/lib/wine/wineserver64 -p
trap '/usr/lib/wine/wineserver64 -k' EXIT
# Wine's own winmm.dll: no MIDI device here, as on a machine without one.
"$root/bench/e2e_launch.sh" "$runs" linux Plinkora "$build/app/plinkora" \
    wine Plinkora "env WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d;winmm=b $wine $exe"
