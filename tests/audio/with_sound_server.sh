#!/usr/bin/env bash
# Runs a test program against a private sound server (pulseaudio or
# pipewire), with PLINKORA_AUDIO naming the backend the test must use.
#   with_sound_server.sh SERVER BACKEND PROGRAM [ARG...]
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../e2e/harness.sh"
export E2E_AUDIO=$1
backend=$2
shift 2
e2e_require "$E2E_AUDIO" pactl
e2e_init
e2e_start_audio
PLINKORA_AUDIO=$backend "$@"
