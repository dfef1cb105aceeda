#!/usr/bin/env bash
# Qt for Windows, cross-built once per machine from Debian's own qt6-base
# source with Debian's MinGW-w64, into a cache outside the work tree:
#   ${PLINKORA_CACHE_DIR:-~/.cache/plinkora}/qt-<version>-mingw-<key>/prefix
# <key> is a digest of the configure options, the toolchain file and the
# compiler's version, so a change to any of them builds a new Qt beside the
# old one. Prints the prefix on stdout; progress goes to stderr.
# Needs: dpkg-dev (apt-get source), cmake, ninja-build, qt6-base-dev-tools
# (the host's moc, rcc and uic), g++-mingw-w64-x86-64-posix.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

say() { printf '%s\n' "build-qt: $*" >&2; }

# Only what the program needs: Core, Gui, Widgets, the windows platform plugin
# and the JPEG plugin for the banner. Every third-party library is Qt's
# bundled copy, so the DLLs to ship are Qt's own. opengl off needs INPUT_opengl
# too (else dynamic OpenGL stays on); direct2d must stay on (Gui's DirectWrite
# font engine, which qwindows.dll links against, comes with it in 6.4.2), but
# its 1.1 level only makes a second platform plugin; Debian's source has no
# wintab. Windows draws text with GDI and DirectWrite, so no FreeType either.
QT_OPTIONS=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_testlib=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
    -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_tabletevent=OFF -DFEATURE_direct2d1_1=OFF
    -DFEATURE_freetype=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF -DFEATURE_movie=OFF -DFEATURE_pdf=OFF
    -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF -DFEATURE_textodfwriter=OFF
    -DFEATURE_jpeg=ON -DFEATURE_system_jpeg=OFF -DFEATURE_system_png=OFF -DFEATURE_system_zlib=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF
    -DFEATURE_icu=OFF
)

# The source is Debian's, at the version of the host's Qt tools it is built with.
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
qt_version=${host_version%%+*}
qt_version=${qt_version#*:}

compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
key=$( { printf '%s\n' "${QT_OPTIONS[@]}" "$compiler"; cat "$here/mingw-w64.cmake"; } | sha256sum | cut -c1-12)
cache=${PLINKORA_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/plinkora}
entry=$cache/qt-$qt_version-mingw-$key
prefix=$entry/prefix

mkdir -p "$cache"
# One build at a time per cache; a second caller waits and then reuses it.
exec 9>"$cache/qt-$qt_version-mingw-$key.lock"
flock -n 9 || { say "waiting for another run's build of this Qt to finish (lock: $cache)"; flock 9; }

if [ -f "$entry/complete" ]; then
    printf '%s\n' "$prefix"
    exit 0
fi

# A build that was interrupted (a killed run, a machine shut down) goes on
# where it stopped: its source and configured tree are still there.
# (none on a first run: find fails on the missing folder, and that is no error)
source_dir=$(find "$entry/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' 2>/dev/null | head -n 1 || true)
resume=false
[ -n "$source_dir" ] && [ -f "$entry/build/build.ninja" ] && resume=true

if ! $resume; then
    rm -rf "$entry"
    mkdir -p "$entry/apt/lists/partial" "$entry/src"
    # Qt's installed toolchain file points at this one: it lives with the prefix.
    cp "$here/mingw-w64.cmake" "$entry/mingw-w64.cmake"

    # A private apt configuration that knows only Debian's source lists, so the
    # machine's own sources and state are never touched.
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    cat >"$entry/apt/sources.list" <<EOF
deb-src [signed-by=$keyring] http://deb.debian.org/debian $codename main
deb-src [signed-by=$keyring] http://deb.debian.org/debian $codename-updates main
deb-src [signed-by=$keyring] http://deb.debian.org/debian-security $codename-security main
EOF
    apt_private=(-o "Dir::Etc::SourceList=$entry/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
                 -o "Dir::State::Lists=$entry/apt/lists" -o "Dir::Cache=$entry/apt"
                 -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
                 -o Debug::NoLocking=1 -o APT::Sandbox::User="$(id -un)")
    say "fetching Debian's qt6-base $host_version source"
    apt-get -q "${apt_private[@]}" update >&2
    ( cd "$entry/src" && { apt-get -q "${apt_private[@]}" source "qt6-base=$host_version" >&2 ||
                           apt-get -q "${apt_private[@]}" source qt6-base >&2; } )
    source_dir=$(find "$entry/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
    [ -n "$source_dir" ] || { say "no qt6-base source unpacked"; exit 1; }
fi

# Ninja's "[done/total]" lines, shown as they come: on a terminal one line
# that updates, in a log (stderr not a terminal) one line a minute.
progress() {
    local line steps="" now shown=0 elapsed
    while IFS= read -r line; do
        printf '%s\n' "$line" >>"$entry/build.log"
        [[ $line =~ ^\[([0-9]+/[0-9]+)\] ]] || continue
        steps=${BASH_REMATCH[1]}
        printf -v now '%(%s)T' -1
        elapsed=$(( now - start ))
        if [ -t 2 ]; then
            printf '\rbuild-qt: %s steps, %d min %02d s\033[K' "$steps" $(( elapsed / 60 )) $(( elapsed % 60 )) >&2
        elif [ $(( now - shown )) -ge 60 ]; then
            shown=$now
            say "$steps steps, $(( elapsed / 60 )) min $(( elapsed % 60 )) s"
        fi
    done
    [ -t 2 ] && [ -n "$steps" ] && echo >&2
    return 0
}

$resume && say "resuming the interrupted build of Qt $qt_version in $entry/build"
say "configuring and building Qt $qt_version for x86_64-w64-mingw32, about 25 minutes on 2 cores (log: $entry/build.log)"
start=$(date +%s)
status=0
{
    { $resume || cmake -G Ninja -S "$source_dir" -B "$entry/build" \
        -DCMAKE_TOOLCHAIN_FILE="$entry/mingw-w64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        "${QT_OPTIONS[@]}" >"$entry/build.log" 2>&1; } &&
    { nice -n 10 cmake --build "$entry/build" --parallel "$(nproc)" 2>&1 | progress; } &&
    cmake --install "$entry/build" >>"$entry/build.log" 2>&1
} || status=$?
if [ "$status" -ne 0 ]; then
    tail -n 40 "$entry/build.log" >&2
    say "the Qt build failed ($status); the whole log is $entry/build.log"
    exit "$status"
fi
echo $(( $(date +%s) - start )) >"$entry/build-seconds"
# What is left besides the prefix is large and never used again.
rm -rf "$entry/build" "$entry/src" "$entry/apt"
touch "$entry/complete"
say "Qt $qt_version for Windows built in $(cat "$entry/build-seconds") s: $prefix"
printf '%s\n' "$prefix"
