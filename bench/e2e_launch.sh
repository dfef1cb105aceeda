#!/usr/bin/env bash
# Launch to window shown: process start to the program's window mapped in the
# X server (polled every millisecond), median of RUNS launches per program.
# The programs take turns, launch by launch, so that a change in the
# machine's load weighs on each alike.
#   e2e_launch.sh RUNS NAME TITLE BIN [NAME TITLE BIN ...]
# TITLE is the window's title ("" for the first window of the process). A
# program started with --trace-start also gets its start-up stages
# split (plinkora-bench-player prints them). BENCH_AS_USER=nobody launches
# them as that user (as root).
set -u
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../tests/e2e/harness.sh"
source "$here/e2e_common.sh"

readonly RUNS=$1
shift
names=() titles=() commands=()
while (($# >= 3)); do
    names+=("$1") titles+=("$2") commands+=("$3")
    shift 3
done
: "${BENCH_BIN:?}"

e2e_require Xvfb xdotool pulseaudio pactl
e2e_init
e2e_start_x
e2e_start_audio
[[ -n $BENCH_AS_USER ]] && bench_open_to_user "$BENCH_AS_USER"

declare -A seconds stages
for ((run = 0; run < RUNS; ++run)); do
    for i in "${!names[@]}"; do
        BENCH_TITLE=${titles[i]}
        read -r -a command <<<"${commands[i]}"
        bench_launch "${command[@]}"
        seconds[$i]+="$BENCH_WINDOW_SECONDS "
        # Start-up stages, as seconds after the launch.
        while read -r stage at; do
            [[ $at =~ ^[0-9.]+$ ]] && stages[$i,$stage]+="$(awk -v a="$at" -v s="$BENCH_LAUNCH_TIME" 'BEGIN { printf "%.4f", a - s }') "
        done <"$E2E_DIR/app.log"
        bench_stop_app
        sleep 0.2
    done
done

for i in "${!names[@]}"; do
    read -r -a all <<<"${seconds[$i]}"
    median=$(printf '%s\n' "${all[@]}" | bench_median)
    range=$(printf '%s\n' "${all[@]}" | sort -g | awk '{ v[NR] = $1 } END {
        printf "min %.1f p90 %.1f max %.1f ms", v[1] * 1000, v[int(NR * 0.9 + 0.999)] * 1000, v[NR] * 1000 }')
    bench_result "launch_to_window[${names[i]}]" "$(awk -v m="$median" 'BEGIN { printf "%.1f", m * 1000 }')" ms \
        "median of $RUNS, $range"
    for stage in main application window-built synth-open-begin synth-open-end shown exposed; do
        [[ -n ${stages[$i,$stage]:-} ]] || continue
        median=$(printf '%s\n' ${stages[$i,$stage]} | bench_median)
        bench_result "launch_stage_$stage[${names[i]}]" "$(awk -v m="$median" 'BEGIN { printf "%.1f", m * 1000 }')" ms \
            "median time after the launch"
    done
done
exit 0
