#!/usr/bin/env bash
# Plinkora's benchmarks: builds in release mode into build-bench/ and prints a
# table of medians, each with the command that produced it.
#   bench/run.sh [--quick] [--no-vmpk] [--no-user]
#     --quick     fewer repetitions (a smoke run, not for figures)
#     --no-vmpk   skip the comparison with VMPK (otherwise installed with
#                 apt-get when missing and running as root)
#     --no-user   key-to-sound only as the current user, not also as nobody
# BENCH_PLAYER_OPTIONS are passed to plinkora-bench-player in the key-to-sound
# runs (on PulseAudio and, where installed, on a private PipeWire).
# The raw results stay in build-bench/bench-results/results.tsv.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-bench
out=$build/bench-results
export BENCH_BIN=$build/bench

quick=0 vmpk=1 other_user=nobody
for arg in "$@"; do
    case $arg in
    --quick) quick=1 ;;
    --no-vmpk) vmpk=0 ;;
    --no-user) other_user= ;;
    *) sed -n '2,13p' "$0" >&2; exit 2 ;;
    esac
done
if ((quick)); then
    launches=3 presses=1000 loads=5 program_runs=3 sound_presses=8
else
    launches=15 presses=10000 loads=15 program_runs=9 sound_presses=60
fi

log() { printf 'bench: %s\n' "$*" >&2; }

build_all()
{
    log "building into ${build#"$root"/} (Release)"
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPLINKORA_BENCH=ON -DBUILD_TESTING=OFF >"$out/build.log" 2>&1 || return 1
    # The pictures' object first: a fresh parallel build can archive the UI library without it.
    cmake --build "$build" --parallel 2 --target plinkora_resources >>"$out/build.log" 2>&1 || return 1
    cmake --build "$build" --parallel 2 --target bench-soundfont bench-programs bench-input bench-analyze \
        plinkora-bench-player bench-xtool bench-bare-window bench-record bench-refclient >>"$out/build.log" 2>&1 || return 1
    # PipeWire's own recorder and reference: without them its key-to-sound runs are skipped.
    cmake --build "$build" --parallel 2 --target bench-record-pw bench-refclient-pw >>"$out/build.log" 2>&1 ||
        log "no native PipeWire recorder (libpipewire-0.3 development files?): PipeWire key-to-sound skipped"
    cmake --build "$build" --parallel 2 --target bench-midi >>"$out/build.log" 2>&1 ||
        log "no bench-midi (libpipewire-0.3 or libjack development files?): MIDI port latency skipped"
    program=$build/app/plinkora program_note=
    if ! cmake --build "$build" --parallel 2 --target plinkora >>"$out/build.log" 2>&1; then
        # Same window and synthesizer, built from bench/ with the default period.
        program=$BENCH_BIN/plinkora-bench-player
        program_note=" (app/plinkora did not link; its twin plinkora-bench-player measured)"
        log "app/plinkora did not build, see ${out#"$root"/}/build.log; measuring plinkora-bench-player"
    fi
}

# Runs a measuring command and files its result lines under the command.
step()
{
    local shown=${*//$root\//}
    shown=${shown//$BENCH_BIN\//}
    log "$shown"
    "$@" 2>>"$out/steps.log" | while IFS=$'\t' read -r name value unit detail; do
        printf '%s\t%s\t%s\t%s\t%s\n' "$name" "$value" "$unit" "$detail" "$shown"
    done >>"$out/results.tsv"
}

load_now() { awk '{ print $1, $2, $3 }' /proc/loadavg; }

ensure_vmpk()
{
    command -v vmpk >/dev/null && return 0
    [[ $(id -u) -eq 0 ]] || return 1
    log "installing vmpk for the comparison"
    apt-get install -y -q vmpk >>"$out/build.log" 2>&1
}

rm -rf "$out"
mkdir -p "$out"
: >"$out/results.tsv"
build_all || { log "build failed, see ${out#"$root"/}/build.log"; exit 1; }
load_before=$(load_now)

step env QT_QPA_PLATFORM=offscreen "$BENCH_BIN/bench-input" "$presses"
step "$BENCH_BIN/bench-soundfont" "$loads"
step "$root/bench/e2e_synth_open.sh" "$loads" pulseaudio
step "$root/bench/e2e_synth_open.sh" "$loads" pipewire
step "$BENCH_BIN/bench-programs" "$program_runs"
step "$BENCH_BIN/bench-analyze" selfcheck 13 60
# Beside a bare Qt Widgets window of the same size, the floor, and the
# prototype that opens the synthesizer once the window is exposed.
launch=("$root/bench/e2e_launch.sh" "$launches" plinkora Plinkora "$program"
    bare-qt-window "Bare Qt window" "$BENCH_BIN/bench-bare-window"
    prototype-deferred-synth Plinkora "$BENCH_BIN/plinkora-bench-player --defer-synth")
footprints=(plinkora)
if ((vmpk)) && ensure_vmpk; then
    # VMPK maps a small transient window before its main one: both are timed.
    launch+=(vmpk "Virtual MIDI Piano Keyboard" "$(command -v vmpk)" vmpk-first-window "" "$(command -v vmpk)")
    footprints+=(vmpk)
fi
step "${launch[@]}"
step "$root/bench/e2e_launch.sh" "$launches" plinkora-stages Plinkora "$BENCH_BIN/plinkora-bench-player --trace-start"
step "$root/bench/e2e_footprint.sh" plinkora --play -- "$program"
[[ ${footprints[*]} == *vmpk* ]] && step "$root/bench/e2e_footprint.sh" vmpk -- "$(command -v vmpk)"
users=("")
[[ -n $other_user && $(id -u) -eq 0 ]] && id "$other_user" >/dev/null 2>&1 && command -v setpriv >/dev/null && users+=("$other_user")
servers=(pulseaudio)
command -v pipewire >/dev/null && command -v wireplumber >/dev/null && servers+=(pipewire)
# Options for plinkora-bench-player, e.g. BENCH_PLAYER_OPTIONS="--report-buffer".
read -r -a player_options <<<"${BENCH_PLAYER_OPTIONS:-}"
for user in "${users[@]}"; do
    for server in "${servers[@]}"; do
        for load in idle busy; do
            step env BENCH_AS_USER="$user" "$root/bench/e2e_keytosound.sh" "$server" "$load" "$sound_presses" \
                "${player_options[@]}"
        done
    done
done
# Device 0 as a MIDI port: key press to the note-on's arrival in the listening
# client, beside the ruler (the port class fed directly).
midi_servers=()
command -v jackd >/dev/null && midi_servers+=(jack)
[[ ${servers[*]} == *pipewire* ]] && midi_servers+=(pipewire)
for server in "${midi_servers[@]}"; do
    for load in idle busy; do
        step "$root/bench/e2e_midiport.sh" "$server" "$load" "$((sound_presses * 3))" "$program"
    done
done
# PipeWire's graph at the synthesizer's 256 frames instead of its default
# 1024, which the port leaves to the listener.
if [[ ${midi_servers[*]} == *pipewire* ]]; then
    for load in idle busy; do
        step env PIPEWIRE_LATENCY=256/48000 "$root/bench/e2e_midiport.sh" pipewire "$load" "$((sound_presses * 3))" \
            "$program"
    done
fi
load_after=$(load_now)

{
    printf 'Plinkora benchmarks, %s, commit %s%s\n' "$(date -u '+%Y-%m-%d %H:%M UTC')" \
        "$(git -C "$root" rev-parse --short HEAD 2>/dev/null)" "$program_note"
    printf 'load average (1, 5, 15 min) before: %s, after: %s; %s cores; as %s\n' "$load_before" "$load_after" \
        "$(nproc)" "$(id -un)"
    awk -f "$root/bench/summary.awk" -v users="$(id -un) ${users[*]:1}" "$out/results.tsv"
} | tee "$out/summary.txt"
