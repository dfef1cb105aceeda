#!/usr/bin/env bash
# Plinkora's one entry point. On Debian it installs whatever is missing
# (apt-get, through sudo when not root), builds, and then:
#   ./build.sh run     starts the piano
#   ./build.sh test    runs every test
#   ./build.sh test-sanitized [CTEST ARGUMENTS]
#                      only the sanitized suite, or the part of it that the
#                      arguments pick (-R e2e_exit_paths --repeat until-fail:30)
#   ./build.sh test-plain [CTEST ARGUMENTS]
#                      only the plain suite (no Windows build, no sanitizers)
#   ./build.sh build   only builds
#   ./build.sh package builds the Debian package and checks it with lintian
#   ./build.sh windows builds Plinkora.exe, its zip and its installer in
#                      build-windows/package/ (Qt for Windows is built once,
#                      about 25 minutes on 2 cores, and cached in ~/.cache/plinkora/)
#   ./build.sh deps COMMAND...  only installs what those commands need
# It knows Debian 12 (bookworm) and 13 (trixie).
set -euo pipefail
cd "$(dirname "$0")"

BUILD_DIR=${PLINKORA_BUILD_DIR:-build}

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libfluidsynth-dev fluid-soundfont-gm fonts-wine
                libpulse-dev libpipewire-0.3-dev libdbus-1-dev libjack-jackd2-dev libxcb1-dev)
# llvm: llvm-symbolizer, for readable sanitizer reports and the function names
# that tests/reliability/lsan.supp matches (Debian 13's clang does not bring it).
TEST_PACKAGES=(xvfb xdotool x11-utils x11-xkb-utils pulseaudio pulseaudio-utils
               desktop-file-utils appstream binutils-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix
               libx11-dev clang libclang-rt-dev llvm valgrind
               libsndfile1-dev libfftw3-dev pipewire pipewire-pulse wireplumber dbus jackd2)

# What one Debian release names differently, in this one place.
case $( (. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}") || true) in
    bookworm) ;;
    # jack_lsp and jack_connect left jackd2 (which only recommends them).
    *) TEST_PACKAGES+=(jack-example-tools) ;;
esac

# Windows: cross-built with MinGW-w64 against a Qt for Windows built from
# Debian's qt6-base source (tools/windows/build-qt.sh); tested under Wine.
WINDOWS_BUILD_DIR=${PLINKORA_WINDOWS_BUILD_DIR:-build-windows}
WINDOWS_PACKAGES=(cmake ninja-build qt6-base-dev qt6-base-dev-tools dpkg-dev fonts-wine
                  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 nsis)
WINDOWS_TEST_PACKAGES=(wine64 xvfb xdotool libx11-dev)

# The second build of `test`: AddressSanitizer and UndefinedBehaviorSanitizer.
SANITIZER_BUILD_DIR=${PLINKORA_SANITIZER_BUILD_DIR:-$BUILD_DIR-asan}

say() { printf '%s\n' "build.sh: $*" >&2; }

missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${db:Status-Status}\n' "$p" 2>/dev/null | grep -qx installed || printf '%s\n' "$p"
    done
}

ensure_packages() {
    if ! command -v dpkg-query >/dev/null 2>&1; then
        say "not a Debian system: make sure these are installed: $*"
        return 0
    fi
    local missing
    missing=$(missing_packages "$@" | sort -u | tr '\n' ' ')
    [ -z "${missing// /}" ] && return 0
    say "installing: $missing"
    local -a sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null 2>&1 || { say "need root or sudo to install: $missing"; exit 1; }
        sudo=(sudo)
    fi
    # shellcheck disable=SC2086
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    # shellcheck disable=SC2086
    unknown_packages $missing
    # shellcheck disable=SC2086
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
}

# apt-get would stop at the first name it cannot locate, saying only that.
unknown_packages() {
    local p unknown="" installable
    installable=$(apt-cache policy "$@" 2>/dev/null |
                  awk '/^[^ ]/ { name = $1; sub(/:$/, "", name) } /^  Candidate:/ && $2 != "(none)" { print name }')
    for p in "$@"; do
        grep -qxF "$p" <<<"$installable" || unknown+=" $p"
    done
    [ -z "$unknown" ] && return 0
    say "cannot install:$unknown: not in this system's package lists" \
        "($(. /etc/os-release 2>/dev/null && echo "$PRETTY_NAME"); see the package lists near the top of build.sh)"
    exit 1
}

configure() {
    local dir=$1; shift
    local -a generator=()
    command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S . -B "$dir" "${generator[@]}" "$@"
    else
        cmake -S . -B "$dir" "$@" >/dev/null
    fi
}

configure_and_build() {
    configure "$@"
    cmake --build "$1" --parallel
}

# The whole suite again, sanitized, with Clang where it is installed (it also
# builds the libFuzzer targets). Any memory error, undefined behaviour or leak
# fails the run; tests/reliability/lsan.supp names the few library-internal
# allocations that are kept for the life of the process. Arguments go to ctest.
run_sanitized_tests() {
    local -a compiler=()
    command -v clang++ >/dev/null 2>&1 && compiler=(-DCMAKE_CXX_COMPILER=clang++)
    configure_and_build "$SANITIZER_BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DPLINKORA_SANITIZE=ON -DPLINKORA_BENCH=OFF "${compiler[@]}"
    # exitcode: a sanitizer report must not pass for the status 1 that some
    # tests expect from the program.
    # intercept_tls_get_addr=0: this runtime (Clang 14, GCC 12) takes a dynamic
    # TLS block that malloc happens to place 16 bytes past a page boundary for
    # one with an old glibc's header, and records the two words before it as
    # the block's range; at exit LeakSanitizer's tracer scans that made-up
    # range and dies ("Tracer caught signal 11 ... LeakSanitizer has
    # encountered a fatal error"), about one program run in 60. Nothing is
    # lost: LeakSanitizer scans whatever the dynamic loader allocates (those
    # blocks too) as roots either way. tests/sanitizer holds both to it.
    ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:exitcode=86:intercept_tls_get_addr=0 \
    LSAN_OPTIONS=suppressions=$PWD/tests/reliability/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir "$SANITIZER_BUILD_DIR" --output-on-failure --timeout 600 "$@"
}

# The Debian package, from the same build tree as `build` and `test` (which
# it does not rebuild): $BUILD_DIR/package/plinkora_<version>_<arch>.deb.
PACKAGING_PACKAGES=(dpkg-dev file lintian scdoc)

build_package() {
    configure "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$BUILD_DIR" --parallel --target deb
    local deb
    deb=$(echo "$BUILD_DIR"/package/plinkora_*.deb)
    # Errors and warnings fail the build; notes are shown.
    lintian --fail-on error,warning --display-info "$deb"
    say "package: $deb"
}

# Plinkora.exe, then $WINDOWS_BUILD_DIR/package/Plinkora-<version>-win64.zip and
# Plinkora-<version>-setup.exe.
build_windows() {
    local qt toolchain
    qt=$(tools/windows/build-qt.sh) || { say "building Qt for Windows failed (tools/windows/build-qt.sh)"; exit 1; }
    toolchain=$qt/lib/cmake/Qt6/qt.toolchain.cmake
    # A build tree made with another Qt cannot switch to this one.
    if [ -f "$WINDOWS_BUILD_DIR/CMakeCache.txt" ] &&
       ! grep -qxF "CMAKE_TOOLCHAIN_FILE:FILEPATH=$toolchain" "$WINDOWS_BUILD_DIR/CMakeCache.txt"; then
        rm -rf "$WINDOWS_BUILD_DIR"
    fi
    # Qt's toolchain file loads MinGW's by the path it had when Qt was built;
    # name it here so that a cache moved elsewhere still builds for Windows.
    configure "$WINDOWS_BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/tools/windows/mingw-w64.cmake" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    cmake --build "$WINDOWS_BUILD_DIR" --parallel
    cmake --build "$WINDOWS_BUILD_DIR" --target windows-packages
    say "Windows: $(echo "$WINDOWS_BUILD_DIR"/package/*)"
}

# What each command installs: adds it to the array `needed`.
needs() {
    case $1 in
        run | build) needed+=("${BUILD_PACKAGES[@]}") ;;
        test) needed+=("${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${WINDOWS_TEST_PACKAGES[@]}") ;;
        test-plain | test-sanitized) needed+=("${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
        package) needed+=("${BUILD_PACKAGES[@]}" "${PACKAGING_PACKAGES[@]}") ;;
        windows) needed+=("${WINDOWS_PACKAGES[@]}") ;;
        *) return 1 ;;
    esac
}

usage() {
    say "usage: ./build.sh [run|test|test-plain [ctest arguments]|test-sanitized [ctest arguments]|build|package|windows]"
    say "       ./build.sh deps COMMAND..."
    exit 2
}

command=${1:-run}
needed=()
if [ "$command" = deps ]; then
    shift
    [ $# -gt 0 ] || usage
    for c in "$@"; do needs "$c" || usage; done
else
    needs "$command" || usage
fi
ensure_packages "${needed[@]}"
case $command in
    run)
        # The program alone: the tests and benchmarks wait for `test`.
        configure "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
        cmake --build "$BUILD_DIR" --parallel --target plinkora
        exec "$BUILD_DIR/app/plinkora"
        ;;
    build)
        configure_and_build "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
        ;;
    test)
        # First the Windows build, whose program the Wine tests in $BUILD_DIR run.
        build_windows
        configure_and_build "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DPLINKORA_WINDOWS_BUILD_DIR="$(realpath -m "$WINDOWS_BUILD_DIR")"
        ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 600
        run_sanitized_tests
        ;;
    test-plain)
        shift
        configure_and_build "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
        ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 600 "$@"
        ;;
    test-sanitized)
        shift
        run_sanitized_tests "$@"
        ;;
    package)
        build_package
        ;;
    windows)
        build_windows
        ;;
esac
