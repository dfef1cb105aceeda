# shellcheck shell=bash disable=SC2034  # the E2E_ variables are for the scripts that source this
# End-to-end harness: runs the real program in a private X server (Xvfb) with a
# private audio server (PulseAudio, one null sink) and listens to what it plays.
# Works as root and as a normal user; nothing outside a private temporary
# directory is touched, and everything started here is stopped on exit.
#
# Source it from a bash test script, then:
#   e2e_init                      private dir $E2E_DIR, environment, teardown on EXIT
#   e2e_require CMD...            exit 77 (CTest: skipped) unless every command exists
#   exit $E2E_INCONCLUSIVE        a run that says nothing either way (the machine starved
#                                 it); its caller may run it once more
#   e2e_require_audio             the same for the commands of the chosen sound server
#   e2e_start_x [WxHxD]           Xvfb on a free display; exports DISPLAY (again: another
#                                 server, e.g. of another size, for the next launch)
#   e2e_start_audio               PulseAudio with sink $E2E_SINK; exports PULSE_SERVER
#                                 (E2E_AUDIO=pipewire: PipeWire, WirePlumber and
#                                 pipewire-pulse on a private session bus instead)
#   e2e_start_system_bus          a private system bus that every user may use (a service
#                                 may run as nobody); exports DBUS_SYSTEM_BUS_ADDRESS and
#                                 E2E_SYSTEM_BUS_PID
#   e2e_start_jack                a JACK server (dummy driver) of a name no other runs under;
#                                 exports JACK_DEFAULT_SERVER, and JACK_NO_START_SERVER for the tools
#   e2e_launch BIN [ARG...]       start the program; $E2E_APP_PID, log in $E2E_DIR/app.log
#   e2e_wait_window [SECONDS]     until its window is mapped; sets $E2E_WIN, $E2E_WIN_X/Y/W/H
#                                 and $E2E_WINDOW_SECONDS (launch to mapped window)
#   e2e_key_point K               "x y" on screen inside the visible part of key K (0..35)
#   e2e_panel_point TX TY         "x y" on screen of a point of the key panel, in twips
#   e2e_click_key K               left click on key K; appends the press time to E2E_PRESSES
#   e2e_click X Y                 left click at a screen point; appends the press time too
#   e2e_focus                     give the window the keyboard focus (there is no window manager)
#   e2e_press_key KEY...          xdotool key names (Escape, F1, q ...) to the focused window;
#                                 a number of two or more digits is an X keycode (a physical
#                                 key whatever the layout: 52 is the US Z position)
#   e2e_play_key KEY              the same for one key that should sound; appends the press time
#   e2e_layout LAYOUT             switch the X keyboard layout (us, de, fr ...)
#   e2e_start_recording [FILE]    record the sink (float32le, 48 kHz, stereo) to FILE;
#                                 returns once samples flow (about 2 s)
#   e2e_stop_recording            also sets $E2E_RECORDING_STOP (wall clock); gaps in the
#                                 sound (the machine too busy) go to E2E_STALLS
#   e2e_press_times               the presses since, in seconds from the recording's start
#   e2e_pause SECONDS             sleep, noting in E2E_STALLS if it overran (a busy machine)
#   e2e_check_notes NOTE...       the notes that rose at the presses since the recording
#                                 started are these MIDI notes ('*' any note, '!N' any
#                                 but N: for instruments that sound in another octave)
#   e2e_expect_notes NOTE...      the same, or fail
#   e2e_heard_at I                after those: where press I's note (I from 0) starts in the
#                                 recording
#   e2e_timbre_distance I J NOTE  after those: timbre distance of presses I and J's notes,
#                                 both played as NOTE (0 same .. 1 unrelated; see plinkora-analysis)
#   e2e_level START LENGTH        RMS level (dBFS) of that stretch of the recording (seconds)
#   e2e_check_first_sound [LATE]  after e2e_stop_recording: nothing sounded before the first
#                                 press in E2E_PRESSES (so earlier clicks or keys were silent),
#                                 whose sound came at most LATE seconds (0.6) after it
#   e2e_expect_first_sound [LATE] the same, or fail
#   e2e_retry_if_stalled CMD...   run CMD (launch to exit) once more if it failed while
#                                 E2E_STALLS shows the machine stalled (slow pauses, presses
#                                 or sounds, gaps in the sound); fail otherwise
#   e2e_end_app                   end the program if it still runs
#   e2e_probe ARGS...             plinkora-x11probe (window colours, auto-repeat, NumLock)
#   e2e_wait_exit [SECONDS]       wait for the program to end; $E2E_EXIT_STATUS, 1 on timeout
#   e2e_log MSG / e2e_fail MSG    report; e2e_fail exits 1 (the directory is then kept)
# Press times are wall-clock: `plinkora-analysis notes` aligns them with the
# recording by the first note's onset, so the first click after
# e2e_start_recording must be the first sound; each later note's start is
# then found from its own onset near its press where the level shows one.

source "$(dirname "${BASH_SOURCE[0]}")/sanitizer_report.sh"

E2E_SINK=plinkora_e2e
readonly E2E_INCONCLUSIVE=75
E2E_PRESSES=()
E2E_STALLS=()
_e2e_pids=()

e2e_log() { printf 'e2e: %s\n' "$*"; }

e2e_fail()
{
    printf 'e2e: FAIL: %s\n' "$*" >&2
    exit 1
}

e2e_probe() { "${PLINKORA_X11PROBE:?path of plinkora-x11probe}" "$@"; }

e2e_require_probe()
{
    [[ -n ${PLINKORA_X11PROBE:-} ]] && return 0
    e2e_log "skipped: no plinkora-x11probe (built where Xlib is found)"
    exit 77
}

e2e_require()
{
    local cmd missing=()
    for cmd in "$@"; do
        command -v "$cmd" >/dev/null 2>&1 || missing+=("$cmd")
    done
    if ((${#missing[@]})); then
        e2e_log "skipped: missing ${missing[*]} (Debian: xvfb xdotool x11-utils pulseaudio pulseaudio-utils)"
        exit 77
    fi
}

# The sound server's commands, for the one e2e_start_audio will start.
e2e_require_audio()
{
    if [[ ${E2E_AUDIO:-pulseaudio} == pipewire ]]; then
        e2e_require pipewire wireplumber pipewire-pulse dbus-daemon parec pactl
    else
        e2e_require pulseaudio parec pactl
    fi
}

e2e_init()
{
    E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/plinkora-e2e.XXXXXX") || e2e_fail "cannot make a temporary directory"
    mkdir -m 700 "$E2E_DIR/home" "$E2E_DIR/run"
    # A private world: no desktop session, bus or user settings leak in or out.
    export HOME=$E2E_DIR/home XDG_RUNTIME_DIR=$E2E_DIR/run PULSE_RUNTIME_PATH=$E2E_DIR/run
    export XDG_CONFIG_HOME=$E2E_DIR/home/.config XDG_CACHE_HOME=$E2E_DIR/home/.cache
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$E2E_DIR/no-bus QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY PULSE_COOKIE QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS
    trap _e2e_teardown EXIT
}

# Polls COMMAND every 20 ms until it succeeds or SECONDS (whole) pass.
_e2e_poll()
{
    local seconds=$1 deadline
    shift
    deadline=$(_e2e_after "$seconds")
    until "$@"; do
        [[ $(_e2e_now_us) -lt $deadline ]] || return 1
        sleep 0.02
    done
}

_e2e_now_us() { echo "${EPOCHREALTIME/./}"; }
_e2e_after() { echo $(($(_e2e_now_us) + $1 * 1000000)); }
_e2e_seconds_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }'; }

e2e_start_x()
{
    local screen=${1:-1280x1024x24}
    rm -f "$E2E_DIR/display"  # from an earlier server of this test
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$E2E_DIR/display" >>"$E2E_DIR/xvfb.log" 2>&1 &
    _e2e_pids+=($!)
    _e2e_poll 10 test -s "$E2E_DIR/display" || e2e_fail "Xvfb did not start: $(tail -3 "$E2E_DIR/xvfb.log")"
    DISPLAY=:$(head -1 "$E2E_DIR/display")
    export DISPLAY
}

_e2e_pulse_ready() { pactl info >/dev/null 2>&1; }

e2e_start_audio()
{
    [[ ${E2E_AUDIO:-pulseaudio} == pipewire ]] && { _e2e_start_pipewire; return; }
    local socket=$E2E_DIR/run/native
    cat >"$E2E_DIR/default.pa" <<EOF
load-module module-null-sink sink_name=$E2E_SINK rate=48000 channels=2
set-default-sink $E2E_SINK
load-module module-native-protocol-unix auth-anonymous=1 socket=$socket
EOF
    # -n: none of the system's modules (no hardware, no X11 bell, no D-Bus).
    DISPLAY='' pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit=yes --use-pid-file=no \
        -F "$E2E_DIR/default.pa" >"$E2E_DIR/pulse.log" 2>&1 &
    _e2e_pids+=($!)
    export PULSE_SERVER=unix:$socket
    _e2e_poll 10 _e2e_pulse_ready || e2e_fail "PulseAudio did not start: $(tail -3 "$E2E_DIR/pulse.log")"
}

# PipeWire as a desktop runs it: the daemon, WirePlumber and pipewire-pulse,
# on a session bus of their own, with the null sink loaded through pactl.
_e2e_start_pipewire()
{
    local run=$E2E_DIR/run
    dbus-daemon --session --address="unix:path=$run/bus" --nofork --nopidfile >"$E2E_DIR/dbus.log" 2>&1 &
    _e2e_pids+=($!)
    _e2e_poll 10 test -S "$run/bus" || e2e_fail "dbus-daemon did not start: $(tail -3 "$E2E_DIR/dbus.log")"
    # pipewire-pulse listens in $PULSE_RUNTIME_PATH, as PulseAudio would.
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$run/bus PIPEWIRE_RUNTIME_DIR=$run PULSE_SERVER=unix:$PULSE_RUNTIME_PATH/native
    pipewire >"$E2E_DIR/pipewire.log" 2>&1 &
    _e2e_pids+=($!)
    _e2e_poll 10 test -S "$run/pipewire-0" || e2e_fail "PipeWire did not start: $(tail -3 "$E2E_DIR/pipewire.log")"
    wireplumber >"$E2E_DIR/wireplumber.log" 2>&1 &
    local session_manager=$!
    _e2e_pids+=($!)
    pipewire-pulse >"$E2E_DIR/pipewire-pulse.log" 2>&1 &
    _e2e_pids+=($!)
    _e2e_poll 10 _e2e_pulse_ready || e2e_fail "pipewire-pulse did not start: $(tail -3 "$E2E_DIR/pipewire-pulse.log")"
    # pipewire-pulse answers before it can load modules ("Not supported").
    _e2e_poll 10 _e2e_pipewire_sink && return
    # Without a session manager nothing loads a sink. Debian 12's WirePlumber
    # leaves where /run/systemd has no seats, sessions, users and machines
    # folders (a bare chroot), saying so in its log.
    kill -0 "$session_manager" 2>/dev/null ||
        e2e_fail "WirePlumber quit, so PipeWire has no sink: $(tail -3 "$E2E_DIR/wireplumber.log")"
    e2e_fail "no null sink on PipeWire: $(tail -3 "$E2E_DIR/pipewire-pulse.log")"
}

_e2e_jack_answers() { jack_lsp >/dev/null 2>&1; }
_e2e_jack_settled() { ! kill -0 "$1" 2>/dev/null || _e2e_jack_answers; }

# jackd keeps a registry of at most 8 servers for the whole machine, and the
# entry of one that died without unregistering (killed at a teardown) is only
# taken back by a server of the same name: so the names are 8 fixed ones, and
# a test takes the first that no server answers to.
e2e_start_jack()
{
    export JACK_NO_START_SERVER=1
    local n pid
    for n in 0 1 2 3 4 5 6 7; do
        export JACK_DEFAULT_SERVER=plinkora-e2e-$n
        _e2e_jack_answers && continue
        jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$E2E_DIR/jackd.log" 2>&1 &
        pid=$!
        _e2e_poll 10 _e2e_jack_settled "$pid"
        if kill -0 "$pid" 2>/dev/null && _e2e_jack_answers; then
            _e2e_pids+=("$pid")
            return
        fi
        wait "$pid" 2>/dev/null
        # Another test took the name in the meantime.
        grep -q 'already active' "$E2E_DIR/jackd.log" || break
    done
    e2e_fail "jackd did not start: $(tail -3 "$E2E_DIR/jackd.log")"
}

_e2e_pipewire_sink()
{
    pactl load-module module-null-sink sink_name="$E2E_SINK" rate=48000 channels=2 >/dev/null 2>&1 &&
        pactl set-default-sink "$E2E_SINK"
}

e2e_start_system_bus()
{
    local dir=$E2E_DIR/system-bus
    mkdir -m 755 "$dir"
    chmod 711 "$E2E_DIR"
    cat >"$dir/bus.conf" <<EOF
<busconfig>
  <listen>unix:path=$dir/socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
EOF
    dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile >"$E2E_DIR/system-bus.log" 2>&1 &
    export E2E_SYSTEM_BUS_PID=$! DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/socket
    _e2e_pids+=("$E2E_SYSTEM_BUS_PID")
    _e2e_poll 10 test -S "$dir/socket" || e2e_fail "the system bus did not start: $(tail -3 "$E2E_DIR/system-bus.log")"
}

e2e_launch()
{
    [[ -x $1 ]] || e2e_fail "no program at $1"
    E2E_LAUNCH_TIME=$EPOCHREALTIME
    "$@" >"$E2E_DIR/app.log" 2>&1 &
    E2E_APP_PID=$!
    _e2e_pids+=("$E2E_APP_PID")
}

_e2e_find_window() { E2E_WIN=$(xdotool search --onlyvisible --pid "$E2E_APP_PID" --name '^Plinkora$' 2>/dev/null | head -1) && [[ -n $E2E_WIN ]]; }

e2e_wait_window()
{
    _e2e_poll "${1:-20}" _e2e_find_window || e2e_fail "no window after ${1:-20} s; log: $(cat "$E2E_DIR/app.log")"
    E2E_WINDOW_SECONDS=$(_e2e_seconds_since "$E2E_LAUNCH_TIME")
    local X Y WIDTH HEIGHT WINDOW SCREEN
    eval "$(xdotool getwindowgeometry --shell "$E2E_WIN")"
    E2E_WIN_X=$X E2E_WIN_Y=$Y E2E_WIN_W=$WIDTH E2E_WIN_H=$HEIGHT
}

# The window's design in twips (15 per pixel at 96 dpi): the key panel starts
# 1080 down; white keys are 375 wide at a pitch of 405 from 30, black keys 390
# wide, centred on the gap after their white neighbour, 30 to 1845 high, in
# front of the white keys, which reach 2805. A black key is hit where it covers
# its left neighbour, so the click also proves it lies in front.
e2e_key_point()
{
    local k=$1 whites=(0 -1 1 -1 2 3 -1 4 -1 5 -1 6) octave pos x y
    octave=$((k / 12)) pos=$((k % 12))
    if ((whites[pos] >= 0)); then
        x=$((30 + 405 * (octave * 7 + whites[pos]) + 375 / 2))
        y=$(((1845 + 2805) / 2))  # below the black keys
    else
        x=$((405 * (octave * 7 + whites[pos - 1] + 1) - 180 + 390 / 4))
        y=$(((30 + 1845) / 2))
    fi
    e2e_panel_point "$x" "$y"
}

e2e_panel_point()
{
    local x=$1 y=$(($2 + 1080))
    # Scaled by the window's real size, so a high-DPI window is hit in the same place.
    echo "$((E2E_WIN_X + x * E2E_WIN_W / 8565)) $((E2E_WIN_Y + y * E2E_WIN_H / 3960))"
}

e2e_click()
{
    xdotool mousemove "$1" "$2"
    E2E_PRESSES+=("$EPOCHREALTIME")
    _e2e_timed xdotool click 1
}

e2e_click_key()
{
    local point
    read -r -a point <<<"$(e2e_key_point "$1")"
    e2e_click "${point[@]}"
}

e2e_focus() { xdotool windowfocus --sync "$E2E_WIN"; }

e2e_press_key() { xdotool key "$@"; }

e2e_play_key()
{
    E2E_PRESSES+=("$EPOCHREALTIME")
    _e2e_timed xdotool key "$1"
}

# A machine busy with other work can stall this script, the program and its
# sound for a second or more: no note check is fair then. Pauses and presses
# that overrun are noted in E2E_STALLS, so that a failed check can be retried.
readonly E2E_STALL=0.25

_e2e_note_stall()
{
    local what=$1 began=$2 expected=$3 took
    took=$(_e2e_seconds_since "$began")
    awk -v took="$took" -v e="$expected" -v limit="$E2E_STALL" 'BEGIN { exit !(took > e + limit) }' &&
        E2E_STALLS+=("$what took $took s")
    return 0
}

_e2e_timed()
{
    local began=$EPOCHREALTIME status=0
    "$@" || status=$?
    _e2e_note_stall "$*" "$began" 0
    return "$status"
}

e2e_pause()
{
    local began=$EPOCHREALTIME
    sleep "$1"
    _e2e_note_stall "sleep $1" "$began" "$1"
}

# The first key event after a layout change is delivered with the new layout:
# no settling time is needed (measured under Xvfb).
e2e_layout()
{
    setxkbmap -layout "$1" || e2e_fail "setxkbmap -layout $1 failed"
    [[ $(setxkbmap -query | awk '$1 == "layout:" { print $2 }') == "$1" ]] || e2e_fail "the layout is not $1"
}

e2e_start_recording()
{
    E2E_RECORDING=${1:-$E2E_DIR/recording.f32}
    E2E_PRESSES=()
    E2E_STALLS=()
    E2E_RECORDING_START=$EPOCHREALTIME
    # A small latency: otherwise parec delivers the recording late, short or empty.
    parec --latency-msec=5 --format=float32le --rate=48000 --channels=2 -d "$E2E_SINK.monitor" \
        >"$E2E_RECORDING" 2>"$E2E_DIR/parec.log" &
    _e2e_recorder=$!
    _e2e_pids+=("$_e2e_recorder")
    # The null sink's monitor delivers nothing for the first second or two and
    # then runs in real time: a note played before that would be lost.
    _e2e_poll 10 test -s "$E2E_RECORDING" || e2e_fail "parec records nothing: $(cat "$E2E_DIR/parec.log")"
}

e2e_stop_recording()
{
    E2E_RECORDING_STOP=$EPOCHREALTIME
    kill -INT "$_e2e_recorder" 2>/dev/null
    wait "$_e2e_recorder" 2>/dev/null
    local gaps
    gaps=$(_e2e_audio_gaps "$E2E_RECORDING")
    if [[ -n $gaps ]]; then
        E2E_STALLS+=("$(wc -l <<<"$gaps") gaps in the sound")
        e2e_log "${E2E_STALLS[-1]} (start+length, s): $(head -8 <<<"$gaps" | tr '\n' ' ')"
    fi
}

# Runs of digital silence (20 ms or more) between sounds: the null sink
# fills with zeros whenever the program's stream falls behind. Notes ring
# for seconds, so once something has sounded a gap is the machine's doing
# (or the program's), not the music's.
readonly E2E_GAP_FRAMES=960

_e2e_audio_gaps()
{
    od -An -v -tx8 -w8 "$1" | awk -v rate=48000 -v min="$E2E_GAP_FRAMES" '
        $1 == "0000000000000000" { if (!run++) start = NR; next }
        { if (heard && run >= min) printf "%.3f+%.3f\n", (start - 1) / rate, run / rate; run = 0; heard = 1 }'
}

e2e_press_times()
{
    awk -v t0="$E2E_RECORDING_START" 'BEGIN { for (i = 1; i < ARGC; i++) printf "%.4f ", ARGV[i] - t0 }' \
        "${E2E_PRESSES[@]}"
}

# Under load the way from a key press to its sound stretches, by up to half a
# second and differently for each press. So the presses are placed in the
# recording by the first one (the first sound), and each note's start is then
# its own onset, where the level shows one soon after the press; where earlier
# notes are too loud for that, the press time serves.
readonly E2E_ONSET_SEARCH=0.6

_e2e_note_start()
{
    local aligned=$1 next=$2 onset
    onset=$("$PLINKORA_ANALYSIS" onset "$E2E_RECORDING" "$(awk -v t="$aligned" 'BEGIN { print t - 0.03 }')") || onset=
    awk -v t="$aligned" -v next_press="$next" -v onset="$onset" -v search="$E2E_ONSET_SEARCH" 'BEGIN {
        limit = t + search
        if (next_press != "" && next_press - 0.1 < limit) limit = next_press - 0.1
        print (onset != "" && onset <= limit) ? onset : t
    }'
}

_e2e_note_matches()
{
    local heard=$1 expected=$2
    [[ $heard != none ]] || return 1
    case $expected in
        '*') return 0 ;;
        '!'*) [[ $heard != "${expected#!}" ]] ;;
        *) [[ $heard == "$expected" ]] ;;
    esac
}

e2e_check_notes()
{
    local presses aligned starts=() i notes
    read -r -a presses <<<"$(e2e_press_times)"
    mapfile -t aligned < <("${PLINKORA_ANALYSIS:?path of plinkora-analysis}" notes "$E2E_RECORDING" "${presses[@]}" |
        awk '{ print $2 }')
    if [[ ${aligned[0]:-none} == none ]]; then
        e2e_log "nothing sounded in the recording"
        return 1
    fi
    for i in "${!aligned[@]}"; do
        starts+=("$(_e2e_note_start "${aligned[i]}" "${aligned[i + 1]:-}")")
        awk -v a="${aligned[i]}" -v s="${starts[i]}" -v limit="$E2E_STALL" 'BEGIN { exit !(s > a + limit) }' &&
            E2E_STALLS+=("note $i came late")
    done
    E2E_HEARD=$(paste -d ' ' <(printf '%s\n' "${presses[@]}") <(printf '%s\n' "${aligned[@]}") \
        <("$PLINKORA_ANALYSIS" rose "$E2E_RECORDING" "${starts[@]}"))
    e2e_log "press, placed at, note start, note, cents, Hz:"$'\n'"$E2E_HEARD"
    mapfile -t notes < <(awk '{ print $4 }' <<<"$E2E_HEARD")
    local expected=("$@")
    for i in "${!expected[@]}"; do
        if ! _e2e_note_matches "${notes[i]:-none}" "${expected[i]}"; then
            e2e_log "heard notes ${notes[*]}, expected $*"
            return 1
        fi
    done
    ((${#notes[@]} == ${#expected[@]})) || { e2e_log "heard ${#notes[@]} notes, expected ${#expected[@]}"; return 1; }
}

e2e_expect_notes() { e2e_check_notes "$@" || e2e_fail "not the notes played"; }

e2e_heard_at() { awk -v n="$1" 'NR == n + 1 { print $3 }' <<<"$E2E_HEARD"; }

# RMS level in dBFS of a stretch of the recording, cut out of the raw samples.
e2e_level()
{
    local frame_bytes=8 rate=48000 first count
    first=$(awk -v t="$1" -v r="$rate" 'BEGIN { printf "%d", t * r }')
    count=$(awk -v t="$2" -v r="$rate" 'BEGIN { printf "%d", t * r }')
    tail -c +$((first * frame_bytes + 1)) "$E2E_RECORDING" | head -c $((count * frame_bytes)) >"$E2E_DIR/stretch.f32"
    "${PLINKORA_ANALYSIS:?path of plinkora-analysis}" info "$E2E_DIR/stretch.f32" | awk '{ print $4 }'
}

e2e_timbre_distance()
{
    "${PLINKORA_ANALYSIS:?path of plinkora-analysis}" timbre "$E2E_RECORDING" "$(e2e_heard_at "$1")" "$3" \
        "$(e2e_heard_at "$2")" "$3"
}

# The recording's start is late by an unknown second or two, but its end is
# within tens of milliseconds of e2e_stop_recording: place the first press
# from the end. Whatever sounded before it puts the first onset earlier; the
# press's own sound may come late on a busy machine, but never early.
readonly E2E_EARLY=0.2

e2e_check_first_sound()
{
    local late=${1:-0.6} onset duration
    [[ -n ${E2E_RECORDING_STOP:-} ]] || e2e_fail "e2e_check_first_sound needs a stopped recording"
    if ! onset=$("${PLINKORA_ANALYSIS:?path of plinkora-analysis}" onset "$E2E_RECORDING" 0); then
        e2e_log "nothing sounded in the recording"
        return 1
    fi
    duration=$("$PLINKORA_ANALYSIS" info "$E2E_RECORDING" | awk '{ print $1 }')
    local verdict
    verdict=$(awk -v onset="$onset" -v d="$duration" -v stop="$E2E_RECORDING_STOP" -v press="${E2E_PRESSES[0]}" \
        -v late="$late" -v early="$E2E_EARLY" -v stall="$E2E_STALL" 'BEGIN {
            e = d - (stop - press)
            printf "first sound at %.3f s, first press at %.3f s: ", onset, e
            print (onset < e - early) ? "early" : (onset > e + late) ? "late" : (onset > e + stall) ? "slow" : "ok"
        }')
    e2e_log "$verdict"
    case $verdict in
        *ok) return 0 ;;
        *slow) E2E_STALLS+=("the first sound came late"); return 0 ;;
        *late) E2E_STALLS+=("the first sound came late") ;;
    esac
    e2e_log "the first sound is not the first press's: something sounded before it, or it came late"
    return 1
}

e2e_expect_first_sound() { e2e_check_first_sound "$@" || e2e_fail "not silent before the first press"; }

# Runs COMMAND (which starts the program and ends it) once more if it failed
# while the machine stalled; the program must then end itself or be ended.
e2e_retry_if_stalled()
{
    "$@" && return 0
    ((${#E2E_STALLS[@]})) || e2e_fail "$1 failed"
    e2e_end_app
    local report
    report=$(e2e_sanitizer_report) && e2e_fail "$1 failed with a sanitizer report: $report"
    e2e_log "the machine stalled (${E2E_STALLS[*]}); $1 once more"
    "$@" || e2e_fail "$1 failed twice$( ((${#E2E_STALLS[@]})) && echo ", stalled again: ${E2E_STALLS[*]}")"
}

e2e_end_app()
{
    _e2e_app_gone && return 0
    kill -TERM "$E2E_APP_PID" 2>/dev/null
    e2e_wait_exit 5 || kill -KILL "$E2E_APP_PID" 2>/dev/null
    wait "$E2E_APP_PID" 2>/dev/null
    return 0
}

_e2e_app_gone()
{
    local state
    read -r _ _ state _ 2>/dev/null <"/proc/$E2E_APP_PID/stat" || return 0
    [[ $state == Z ]]
}

e2e_wait_exit()
{
    local seconds=${1:-10} since=$EPOCHREALTIME
    _e2e_poll "$seconds" _e2e_app_gone || return 1
    wait "$E2E_APP_PID"
    E2E_EXIT_STATUS=$?
    E2E_EXIT_SECONDS=$(_e2e_seconds_since "$since")
}

# Waits up to TRIES x 20 ms for a signalled process to go, then kills it and
# collects it: e2e_reap PID TRIES
e2e_reap()
{
    local pid=$1 tries=$2
    for ((; tries > 0; tries--)); do
        kill -0 "$pid" 2>/dev/null || break
        [[ $(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null) == Z ]] && break
        sleep 0.02
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

_e2e_teardown()
{
    local status=$? pid
    local reversed=()
    for pid in "${_e2e_pids[@]}"; do
        reversed=("$pid" "${reversed[@]}")
    done
    # The program first, then what it talks to, so that nothing it prints on
    # the way out is about a server that went away first: its way out must not
    # meet the X server's (a sanitized build then reports Qt's connection,
    # dropped by exit() from Qt's X error handler, as lost).
    [[ -n ${E2E_APP_PID:-} ]] && e2e_end_app
    for pid in "${reversed[@]}"; do
        kill -TERM "$pid" 2>/dev/null
    done
    for pid in "${reversed[@]}"; do
        e2e_reap "$pid" 50
    done
    local report
    local said=$((status == 0 || status == 77 || status == E2E_INCONCLUSIVE))
    if ((said)) && report=$(e2e_sanitizer_report); then
        printf 'e2e: FAIL: the program made a sanitizer report: %s\n' "$report" >&2
        status=1
        said=0
    fi
    if ((!said)) || [[ -n ${E2E_KEEP:-} ]]; then
        e2e_log "kept $E2E_DIR"
    else
        rm -rf "$E2E_DIR"
    fi
    exit "$status"
}
