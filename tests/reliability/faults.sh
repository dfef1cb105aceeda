#!/usr/bin/env bash
# A fault in what the real program depends on. Without sound it must say so in
# exactly one line and otherwise work: the window opens, keys and clicks are
# taken, Esc ends it with status 0. Without a display it must say so in one
# line and end with status 1, not abort.
#   faults.sh FAULT       (PLINKORA: the program)
# FAULT: no-soundfont | no-audio-server | audio-server-dies | no-display | bogus-display
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/harness.sh"
source "$(dirname "${BASH_SOURCE[0]}")/rel_lib.sh"

readonly NO_SOUND="plinkora: no sound: "
readonly CANNOT_START="plinkora: cannot start: "
# Every system directory the program looks in for a SoundFont.
readonly SOUNDFONT_DIRS=(/usr/share/sounds/sf2 /usr/share/soundfonts /usr/local/share/soundfonts
                         /opt/homebrew/share/soundfonts)

# Runs the program with the SoundFont directories hidden under empty tmpfs
# mounts, in a mount namespace of its own (as a normal user, in a user
# namespace too); exits 77 where the system allows neither.
launch_without_soundfonts()
{
    local -a namespace=(unshare -m)
    [[ $(id -u) -eq 0 ]] || namespace=(unshare -U -r -m)
    local hide="" dir
    # The program's own SoundFont lies beside its directory.
    for dir in "${SOUNDFONT_DIRS[@]}" "$(realpath -m "$(dirname "$PLINKORA")/../share/plinkora")"; do
        [[ -d $dir ]] && hide+="mount -t tmpfs none '$dir' && "
    done
    if ! "${namespace[@]}" sh -c "${hide}true" 2>/dev/null; then
        e2e_log "skipped: cannot hide the SoundFonts in a mount namespace (${namespace[*]})"
        exit 77
    fi
    e2e_launch "$(command -v unshare)" "${namespace[@]:1}" sh -c "${hide}exec \"\$0\"" "$PLINKORA"
}

# Neither a sound server nor ALSA: the server address leads nowhere, libpulse
# may not start one, and ALSA's configuration defines no device, so that a
# machine with a sound card behaves like one without.
no_audio_environment()
{
    mkdir -p "$XDG_CONFIG_HOME/pulse"
    echo "autospawn = no" >"$XDG_CONFIG_HOME/pulse/client.conf"
    : >"$E2E_DIR/empty-alsa.conf"
    export PULSE_SERVER=unix:$E2E_DIR/no-server ALSA_CONFIG_PATH=$E2E_DIR/empty-alsa.conf
}

fault=${1:?fault}
e2e_require Xvfb xdotool pulseaudio pactl
PLINKORA=${PLINKORA:?path of the plinkora binary}
e2e_init

case $fault in
    no-display | bogus-display)
        if [[ $fault == no-display ]]; then
            rel_run_without_x env -u DISPLAY -u WAYLAND_DISPLAY "$PLINKORA"
            said="no display could be reached (DISPLAY is not set)"
        else
            # A display that no server can hold: X servers refuse a display
            # number starting with '-', while the client library still looks
            # for its socket (/tmp/.X11-unix/X-1). A free number such as :99
            # may be taken on a busy machine.
            rel_run_without_x env DISPLAY=:-1 XAUTHORITY=/nonexistent "$PLINKORA"
            said="no display could be reached at :-1"
        fi
        [[ $REL_STATUS -eq 1 ]] || e2e_fail "exit status $REL_STATUS, expected 1: $(cat "$REL_OUTPUT_FILE")"
        rel_expect_output 1 "$CANNOT_START$said\$"
        [[ -z $(find "$E2E_DIR" -maxdepth 1 -name 'core*' -print -quit) ]] || e2e_fail "left a core file"
        exit 0
        ;;
esac

e2e_start_x
case $fault in
    no-soundfont)
        e2e_start_audio
        launch_without_soundfonts
        ;;
    no-audio-server)
        no_audio_environment
        e2e_launch "$PLINKORA"
        ;;
    audio-server-dies)
        e2e_start_audio
        e2e_launch "$PLINKORA"
        ;;
    *) e2e_fail "unknown fault: $fault" ;;
esac
e2e_wait_window
rel_play

lines=1
if [[ $fault == audio-server-dies ]]; then
    # Notes still sounding when the server goes; the program is given a
    # second to take the keys, which xdotool only hands to the X server.
    e2e_press_key w e r t
    e2e_pause 1
    pulse=$(rel_child_pid pulseaudio) || e2e_fail "cannot find the PulseAudio process"
    kill -KILL "$pulse"
    e2e_pause 0.3
    # The server's thread only notes that it went: the line comes from the
    # window's thread, with the next message played. On a machine that
    # stalled, the keys above may have reached the program after the server went.
    if [[ -s $E2E_DIR/app.log ]]; then
        ((${#E2E_STALLS[@]} == 0)) || { e2e_log "inconclusive: the machine stalled (${E2E_STALLS[*]})"; exit 77; }
        e2e_fail "wrote before the next key: $(cat "$E2E_DIR/app.log")"
    fi
    rel_play
    sleep 0.5
    rel_play
    kill -0 "$E2E_APP_PID" 2>/dev/null || e2e_fail "the program ended when the audio server went: $(cat "$E2E_DIR/app.log")"
    lines=$(wc -l <"$E2E_DIR/app.log")
    ((lines == 1)) || e2e_fail "not one line: $(cat "$E2E_DIR/app.log")"

    # A server started in its place is found again: playing tries once a
    # second, so within a few presses the piano sounds once more.
    [[ -n ${PLINKORA_ANALYSIS:-} ]] || e2e_fail "no plinkora-analysis to hear it with"
    e2e_start_audio
    e2e_start_recording
    for _ in 1 2 3 4; do
        e2e_press_key q
        e2e_pause 1.2
    done
    e2e_stop_recording
    level=$(e2e_level 0 5)
    awk -v l="$level" 'BEGIN { exit !(l > -50) }' || e2e_fail "silent after the server came back: $level dBFS"
fi
e2e_press_key Escape
rel_expect_exit 0
rel_expect_output "$lines" "$NO_SOUND"
