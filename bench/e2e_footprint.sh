#!/usr/bin/env bash
# Memory and CPU of a program in a real X server with a real audio server:
# the peak resident set after start, the CPU used in 10 s idle, and with
# --play the peak after all twelve instruments were used and the CPU used in
# 10 s of ten notes a second.
#   e2e_footprint.sh NAME [--play] [--title TITLE] -- BIN [ARG...]
set -u
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../tests/e2e/harness.sh"
source "$here/e2e_common.sh"

readonly NAME=$1
shift
play=0
while [[ $1 != -- ]]; do
    case $1 in
    --play) play=1 ;;
    --title) BENCH_TITLE=$2; shift ;;
    esac
    shift
done
shift
: "${BENCH_BIN:?}"
readonly F_KEYS=(67 68 69 70 71 72 73 74 75 76 95 96)
readonly PIANO_KEYS=(24 25 26 27 52 38 53 39 54 40 41 55 42 56 43 44 57 45 58 46 30 31 32 33)
readonly IDLE_SECONDS=10 SETTLE_SECONDS=2

e2e_require Xvfb xdotool pulseaudio pactl
e2e_init
e2e_start_x
e2e_start_audio

bench_launch "$@"
sleep "$SETTLE_SECONDS"
bench_result "peak_rss_after_start[$NAME]" "$(bench_hwm_mb "$E2E_APP_PID")" MB "VmHWM ${SETTLE_SECONDS} s after the window"
before=$(bench_cpu_seconds "$E2E_APP_PID")
sleep "$IDLE_SECONDS"
after=$(bench_cpu_seconds "$E2E_APP_PID")
bench_result "cpu_idle_10s[$NAME]" "$(awk -v a="$before" -v b="$after" 'BEGIN { printf "%.2f", b - a }')" s \
    "utime+stime over ${IDLE_SECONDS} s idle"

if ((play)); then
    e2e_focus
    # Each instrument, then a note on it.
    keys=()
    for f in "${F_KEYS[@]}"; do
        keys+=("$f" 24)
    done
    "$BENCH_BIN/bench-xtool" keys 0.25 "${#keys[@]}" "${keys[@]}" >/dev/null
    sleep 1
    bench_result "peak_rss_after_instruments[$NAME]" "$(bench_hwm_mb "$E2E_APP_PID")" MB "VmHWM after F1..F12 each with a note"
    "$BENCH_BIN/bench-xtool" keys 0.1 1 "${F_KEYS[0]}" >/dev/null
    before=$(bench_cpu_seconds "$E2E_APP_PID")
    "$BENCH_BIN/bench-xtool" keys 0.1 100 "${PIANO_KEYS[@]}" >/dev/null
    after=$(bench_cpu_seconds "$E2E_APP_PID")
    bench_result "cpu_stream_10s[$NAME]" "$(awk -v a="$before" -v b="$after" 'BEGIN { printf "%.2f", b - a }')" s \
        "utime+stime over 10 s of 10 piano notes/s"
fi
bench_stop_app
exit 0
