#!/usr/bin/env bash
# The synthesizer's open with its real audio output, against a private sound
# server: SoundFont load plus the audio output's start. On PulseAudio, also
# with PipeWire tried first (what the program does everywhere): the cost of
# falling through where no PipeWire daemon runs.
#   e2e_synth_open.sh RUNS [pulseaudio|pipewire]
set -u
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../tests/e2e/harness.sh"
source "$here/e2e_common.sh"
: "${BENCH_BIN:?}"

export E2E_AUDIO=${2:-pulseaudio}
e2e_require_audio
e2e_init
e2e_start_audio
if [[ $E2E_AUDIO == pipewire ]]; then
    "$BENCH_BIN/bench-soundfont" "$1" pipewire
    "$BENCH_BIN/bench-soundfont" "$1" pulseaudio
else
    "$BENCH_BIN/bench-soundfont" "$1" pulseaudio
    "$BENCH_BIN/bench-soundfont" "$1" pipewire,pulseaudio
fi
exit 0
