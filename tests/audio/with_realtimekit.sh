#!/usr/bin/env bash
# Runs a test program against a private PulseAudio and a private system bus,
# unable to make a thread real-time by itself, as a normal user is: then it
# asks RealtimeKit, which the test fakes on that bus (fake_rtkit).
#   with_realtimekit.sh FAKE_RTKIT PROGRAM [ARG...]
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/harness.sh"
fake=$1
shift
e2e_require pulseaudio pactl dbus-daemon setpriv
e2e_init
e2e_start_audio
e2e_start_system_bus
ulimit -r 0 || e2e_fail "cannot lower RLIMIT_RTPRIO"
unprivileged=()
[[ $(id -u) -eq 0 ]] && unprivileged=(setpriv --bounding-set -sys_nice --inh-caps -sys_nice --)
PLINKORA_AUDIO=pulseaudio PLINKORA_FAKE_RTKIT=$fake "${unprivileged[@]}" "$@"
