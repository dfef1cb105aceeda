#!/usr/bin/env bash
# Key-to-sound and dropouts through a real X server and sound server, beside a
# reference client of known latency: one server, one recording of its null
# sink, in this order:
#   1. the reference client sounds bursts at stamped moments (its latency is
#      what it computes itself); what the recording adds is the chain's share;
#   2. the program (plinkora-bench-player) plays F7 xylophone notes through
#      XTest presses 1 to 1.05 s apart (random: a fixed interval can meet the
#      audio at one phase every time and hide the spread);
#   3. the piano four times a second, so that the sound never stops: exact
#      digital silence of 0.5 ms or more is a dropout;
#   4. the reference client plays a steady tone with the program's buffer
#      (the last "buffer FRAMES" line the player printed) for as long: its
#      dropouts are the machine's share.
# With "busy", two busy loops (one per core) run throughout.
# On PipeWire the recorder and the reference client are native PipeWire
# clients (through pipewire-pulse a libpulse client gets a far larger buffer
# than it asks for, and fragments arrive too unevenly to time them by): the
# recording is stamped by the graph's clock, and both run with the program's
# buffer as node.latency, since the graph runs at the smallest one of its
# nodes. So the program starts first there, to tell its buffer.
#   e2e_keytosound.sh pulseaudio|pipewire idle|busy [PRESSES [PLAYER_OPTION...]]
set -u
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../tests/e2e/harness.sh"
source "$here/e2e_common.sh"

readonly SERVER=$1 LOAD=$2 PRESSES=${3:-40}
player_options=("${@:4}")
# What PulseAudio asks the program for at a time: the reference tone asks the same.
request=64
for ((i = 0; i + 1 < ${#player_options[@]}; ++i)); do
    [[ ${player_options[i]} == --request ]] && request=${player_options[i + 1]}
done
readonly XYLOPHONE=13 F7=73 F1=67
# X keycodes of 24 piano keys over the three octaves, each press a different
# note from the last.
readonly KEYCODES=(24 25 26 27 52 38 53 39 54 40 41 55 42 56 43 44 57 45 58 46 30 31 32 33)
readonly STEADY_SECONDS=$((PRESSES > 20 ? PRESSES : 20))
: "${BENCH_BIN:?}"

export E2E_AUDIO=$SERVER
e2e_require Xvfb
e2e_require_audio
if [[ $SERVER == pipewire && ! -x $BENCH_BIN/bench-record-pw ]]; then
    e2e_log "skipped: no bench-record-pw (built where libpipewire-0.3's development files are found)"
    exit 77
fi
e2e_init
e2e_start_x
e2e_start_audio
[[ -n $BENCH_AS_USER ]] && bench_open_to_user "$BENCH_AS_USER"
[[ $LOAD == busy ]] && bench_busy_start 2

launch_player() { PLINKORA_AUDIO=$SERVER bench_launch "$BENCH_BIN/plinkora-bench-player" --report-buffer "${player_options[@]}"; }
player_buffer() { awk '$1 == "buffer" { b = $2 } END { print b }' "$E2E_DIR/app.log"; }
# shellcheck disable=SC2317  # called through _e2e_poll
player_reported() { [[ -n $(player_buffer) ]]; }
reference_bursts()
{
    if [[ $SERVER == pipewire ]]; then
        "$BENCH_BIN/bench-refclient-pw" bursts "$PRESSES" 1 "$buffer"
    else
        "$BENCH_BIN/bench-refclient" bursts "$PRESSES" 1
    fi >"$E2E_DIR/bursts" 2>"$E2E_DIR/refclient.log" || e2e_log "reference bursts: $(cat "$E2E_DIR/refclient.log")" >&2
}
reference_tone()
{
    local client=bench-refclient
    [[ $SERVER == pipewire ]] && client=bench-refclient-pw
    local request_option=("$request")
    [[ $SERVER == pipewire ]] && request_option=()
    "$BENCH_BIN/$client" tone "$buffer" "$STEADY_SECONDS" "${request_option[@]}" >"$E2E_DIR/tone" 2>>"$E2E_DIR/refclient.log"
}

if [[ $SERVER == pipewire ]]; then
    launch_player
    _e2e_poll 5 player_reported || e2e_fail "the player reported no buffer: $(cat "$E2E_DIR/app.log")"
    buffer=$(player_buffer)
    bench_record_start "$buffer"
    reference_bursts
else
    bench_record_start
    reference_bursts
    launch_player
fi
e2e_focus
e2e_press_key "$F7"
sleep 1
# The buffer grows on underflows: the floor takes the one the presses began with.
press_buffer=$(player_buffer)
"$BENCH_BIN/bench-xtool" keys 1:1.05 "$PRESSES" "${KEYCODES[@]}" >"$E2E_DIR/presses" || e2e_fail "presses failed"
sleep 1

e2e_press_key "$F1"
steady_from=$EPOCHREALTIME
"$BENCH_BIN/bench-xtool" keys 0.25 $((STEADY_SECONDS * 4)) "${KEYCODES[@]}" >/dev/null || e2e_fail "presses failed"
steady_to=$EPOCHREALTIME

buffer=$(player_buffer)
[[ -n $buffer ]] || e2e_fail "the player reported no buffer: $(cat "$E2E_DIR/app.log")"
sleep 2
tone_from=$EPOCHREALTIME
reference_tone
tone_to=$EPOCHREALTIME
bench_record_stop
bench_busy_stop

scenario="server=$SERVER,load=$LOAD,user=${BENCH_AS_USER:-$(id -un)}"
((${#player_options[@]})) && scenario+=",player=${player_options[*]}"
tagged()
{
    while IFS=$'\t' read -r name value unit detail; do
        [[ -n $name ]] && bench_result "$name[$scenario]" "$value" "$unit" "$detail"
    done
}
analyze() { "$BENCH_BIN/bench-analyze" "$1" "$E2E_DIR/rec.f32" "$E2E_DIR/rec.stamps" "${@:2}" 2>>"$E2E_DIR/events"; }

# The program's floor: the chain plus the audio queued ahead of a note. On
# PipeWire a note sounds one quantum after the cycle it is rendered in, which
# may have begun a little before the note came: by as much as a cycle's
# process calls begin after its clock (the recorder's p99 stands for the
# program's). On PulseAudio the stream asks for latency adjustment: a note is
# written behind buffer - request frames, of which the server has already
# handed the sink its share, (buffer - 2 * request) / 2, and a null sink shows
# what it has taken on its monitor at once.
reference=$(analyze reference "$E2E_DIR/bursts")
tagged <<<"$reference"
chain=$(awk -F'\t' '$1 == "chain_median" { print $2 }' <<<"$reference")
late=$(awk '/process calls began/ { print $6 }' "$E2E_DIR/record.log")
if [[ $SERVER == pipewire ]]; then
    ahead=$press_buffer
    floor_detail="chain median + buffer of $press_buffer frames"
else
    ahead=$(awk -v b="$press_buffer" -v r="$request" 'BEGIN { s = (b - 2 * r) / 2; print b - r - (s > 0 ? s : 0) }')
    floor_detail="chain median + $ahead frames queued behind the sink's share of a $press_buffer-frame buffer"
fi
floor=$(awk -v c="${chain:-0}" -v a="$ahead" -v l="${late:-0}" 'BEGIN { printf "%.3f", c + a / 48 - l }')
[[ -n $late ]] && floor_detail+=" - $late ms, the p99 of how late in its cycle the recorder's process began"
"$BENCH_BIN/bench-analyze" keys "$XYLOPHONE" "$E2E_DIR/rec.f32" "$E2E_DIR/rec.stamps" "$E2E_DIR/presses" "$floor" \
    2>>"$E2E_DIR/events" | grep -v '^sink_drift' | tagged
bench_result "key_to_sound_floor[$scenario]" "$floor" ms "$floor_detail"
analyze dropouts "$steady_from" "$steady_to" | grep '^dropouts' | tagged
analyze dropouts "$tone_from" "$tone_to" | grep '^dropouts' | sed 's/^dropouts/reference_dropouts/' | tagged
underflows="the server's count for the tone"
[[ $SERVER == pipewire ]] && underflows="graph cycles that went by without the tone"
bench_result "reference_underflows[$scenario]" "$(awk '{ print $2 }' "$E2E_DIR/tone")" count \
    "$underflows, buffer $buffer frames"
missed=$(awk '/frames missed,/ { print $2 }' "$E2E_DIR/record.log")
[[ -n $missed ]] && bench_result "recorder_missed[$scenario]" "$missed" frames \
    "graph time the recorder missed (not in the recording): $(grep -c 'missed before' "$E2E_DIR/record.log") times"
bench_result "buffer[$scenario]" "$buffer" frames "the program's, for the tone"
bench_result "load_average[$scenario]" "$(awk '{ print $1 }' /proc/loadavg)" load "1-minute load average at the end"
e2e_log "$(sort -u "$E2E_DIR/refclient.log" | tr '\n' ' ')" >&2
[[ -s $E2E_DIR/app.log ]] && e2e_log "the player wrote: $(grep -v '^buffer' "$E2E_DIR/app.log" | head -3)" >&2
exit 0
