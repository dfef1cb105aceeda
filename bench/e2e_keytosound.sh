#!/usr/bin/env bash
# Key-to-sound through a real X server and audio server, for one audio period
# size: the synth's period is chosen through plinkora-bench-player. Presses
# piano keys through XTest every 0.8 s (the earlier notes keep sounding), and
# finds each note in the null sink's monitor. With "busy", two busy loops at
# normal priority (one per core) run meanwhile. As $BENCH_AS_USER if set.
#   e2e_keytosound.sh PERIOD idle|busy [PRESSES [PLAYER_OPTION...]]
set -u
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../tests/e2e/harness.sh"
source "$here/e2e_common.sh"

readonly PERIOD=$1 LOAD=$2 PRESSES=${3:-40}
player_options=("${@:4}")
readonly INTERVAL=0.8
# X keycodes of 24 piano keys over the three octaves (Q W E R Z A X S C D F V
# G B H J N K M L U I O P), so that each press is a different note from the last.
readonly KEYCODES=(24 25 26 27 52 38 53 39 54 40 41 55 42 56 43 44 57 45 58 46 30 31 32 33)
readonly RATE=48000
: "${BENCH_BIN:?}"

e2e_require Xvfb xdotool pulseaudio pactl
e2e_init
e2e_start_x
e2e_start_audio
[[ -n $BENCH_AS_USER ]] && bench_open_to_user "$BENCH_AS_USER"
bench_launch "$BENCH_BIN/plinkora-bench-player" --period "$PERIOD" "${player_options[@]}"
e2e_focus
[[ $LOAD == busy ]] && bench_busy_start 2
bench_record_start
"$BENCH_BIN/bench-xtool" keys "$INTERVAL" "$PRESSES" "${KEYCODES[@]}" >"$E2E_DIR/presses" || e2e_fail "presses failed"
sleep 1
bench_record_stop
bench_busy_stop

scenario="period=$PERIOD,load=$LOAD,user=${BENCH_AS_USER:-$(id -un)}"
((${#player_options[@]})) && scenario+=",player=${player_options[*]}"
"$BENCH_BIN/bench-analyze" "$E2E_DIR/rec.f32" "$E2E_DIR/rec.stamps" "$E2E_DIR/presses" |
    while IFS=$'\t' read -r name value unit detail; do
        bench_result "$name[$scenario]" "$value" "$unit" "$detail"
    done
bench_result "implied_latency[$scenario]" "$(awk -v p="$PERIOD" -v r="$RATE" 'BEGIN { printf "%.2f", p / r * 1000 }')" ms \
    "one period queued: period / rate"
bench_result "load_average[$scenario]" "$(awk '{ print $1 }' /proc/loadavg)" load "1-minute load average at the end, busy loops included"
[[ -s $E2E_DIR/app.log ]] && e2e_log "the player wrote: $(head -3 "$E2E_DIR/app.log")" >&2
exit 0
