#!/usr/bin/env bash
# Key press to arrival through device 0 as a MIDI port: XTest presses 0.1 to
# 0.15 s apart (random, so they meet the graph's cycle at every phase) in the
# program started with --midi-out SERVER:midi-listen:input, stamped by the
# listener's process callback (bench-midi-listen, the end-to-end tests' own)
# when the note-on reaches it. First the ruler, in the same run: the
# program's own port class fed directly by bench-midi
# (no X server, no window), which reads its wait for the next cycle (0 to
# one cycle, half in the median). With "busy", two busy loops run throughout.
# PIPEWIRE_LATENCY (e.g. 256/48000) asks the graph for shorter cycles.
#   e2e_midiport.sh pipewire|jack idle|busy [PRESSES [PROGRAM]]
set -u
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../tests/e2e/harness.sh"
source "$here/e2e_common.sh"

readonly SERVER=$1 LOAD=$2 PRESSES=${3:-200}
readonly PROGRAM=${4:-$BENCH_BIN/../app/plinkora}
readonly KEYCODES=(24 25 26 27 52 38 53 39 54 40 41 55 42 56 43 44 57 45 58 46 30 31 32 33)
: "${BENCH_BIN:?}"

e2e_require Xvfb
if [[ $SERVER == pipewire ]]; then export E2E_AUDIO=pipewire; e2e_require_audio; else e2e_require jackd jack_lsp; fi
[[ -x $BENCH_BIN/bench-midi && -x $BENCH_BIN/bench-midi-listen ]] || { e2e_log "skipped: no bench-midi"; exit 77; }
e2e_init
e2e_start_x
if [[ $SERVER == pipewire ]]; then e2e_start_audio; else e2e_start_jack; fi
[[ $LOAD == busy ]] && bench_busy_start 2

"$BENCH_BIN/bench-midi-listen" "$SERVER" >"$E2E_DIR/arrivals" 2>"$E2E_DIR/listen.log" &
listener=$!
_e2e_pids+=("$listener")
# shellcheck disable=SC2317  # called through _e2e_poll
listening() { if [[ $SERVER == pipewire ]]; then pw-link -i; else jack_lsp; fi 2>/dev/null | grep -qx 'midi-listen:input'; }
_e2e_poll 10 listening || e2e_fail "the listener does not listen: $(cat "$E2E_DIR/listen.log")"

"$BENCH_BIN/bench-midi" reference "$SERVER" "$PRESSES" >"$E2E_DIR/sent" || e2e_fail "the reference failed"
bench_launch "$PROGRAM" --midi-out "$SERVER:midi-listen:input"
e2e_focus
sleep 0.5
"$BENCH_BIN/bench-xtool" keys 0.1:0.15 "$PRESSES" "${KEYCODES[@]}" >"$E2E_DIR/presses" || e2e_fail "presses failed"
sleep 0.5
bench_stop_app
kill -INT "$listener"
wait "$listener"
bench_busy_stop

# Latencies in ms, the i-th stamp against the i-th arrival of its kind.
latencies()
{
    awk -v kind="$1" -v column="$3" 'FNR == NR { t[++n] = $column; next }
        NF >= 4 && $2 == kind { if (++m <= n) printf "%.3f\n", ($1 - t[m]) * 1000 }' "$2" "$E2E_DIR/arrivals"
}
stats()
{
    sort -g | awk -v name="$1" -v scenario="$2" -v detail="$3" '{ v[NR] = $1 }
        END { if (!NR) exit
              split("50 90 99", q, " ")
              for (i in q) { k = int((NR - 1) * q[i] / 100 + 0.5) + 1; printf "%s_p%s[%s]\t%s\tms\t%s\n", name, q[i], scenario, v[k], detail }
              printf "%s_max[%s]\t%s\tms\t%s\n", name, scenario, v[NR], detail }'
}
scenario="midi=$SERVER,load=$LOAD${PIPEWIRE_LATENCY:+,latency=$PIPEWIRE_LATENCY}"
read -r _ frames rate < <(grep '^cycle' "$E2E_DIR/arrivals")
cycle=$(awk -v f="$frames" -v r="$rate" 'BEGIN { printf "%.3f", r ? f * 1000 / r : 0 }')
bench_result "midi_cycle[$scenario]" "$cycle" ms "the graph's cycle: $frames frames at $rate Hz"
latencies 9f "$E2E_DIR/sent" 2 | stats midi_reference "$scenario" "queued by the port class directly to arrival (0 to one cycle)"
latencies 90 "$E2E_DIR/presses" 1 | stats midi_key_to_arrival "$scenario" "XTest press to the note-on's arrival, $PRESSES presses"
got=$(grep -c ' 90 ' "$E2E_DIR/arrivals")
bench_result "midi_note_ons[$scenario]" "$got" count "note-ons heard of $PRESSES presses"
exit 0
