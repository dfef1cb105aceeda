#!/usr/bin/env bash
# The synthesizer's open with its real audio driver, against a private
# PulseAudio server: SoundFont load plus driver start.
#   e2e_synth_open.sh RUNS
set -u
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../tests/e2e/harness.sh"
source "$here/e2e_common.sh"
: "${BENCH_BIN:?}"

e2e_require pulseaudio pactl
e2e_init
e2e_start_audio
"$BENCH_BIN/bench-soundfont" "$1" pulseaudio
exit 0
