# shellcheck shell=bash
# Benchmark helpers on top of tests/e2e/harness.sh (sourced after it): timed
# launches, a time-stamped recorder, CPU load, and what /proc says about a
# process. Tools come from $BENCH_BIN (build-bench/bench).
#   bench_launch BIN [ARG...]      start a program (optionally as $BENCH_AS_USER) and
#                                  wait for its window (titled $BENCH_TITLE if set):
#                                  $E2E_APP_PID, $E2E_WIN, $BENCH_WINDOW_SECONDS
#                                  (process start to window mapped), $BENCH_LAUNCH_TIME;
#                                  its output goes to $E2E_DIR/app.log
#   bench_stop_app                 end it (SIGTERM, then SIGKILL after 5 s)
#   bench_record_start [QUANTUM] / _stop   record the sink into $E2E_DIR/rec.f32 + rec.stamps
#                                  (E2E_AUDIO=pipewire: natively, stamped by the graph's
#                                  clock, with node.latency QUANTUM frames)
#   bench_busy_start N / _stop     N busy loops at normal priority
#   bench_cpu_seconds PID          user + system CPU seconds of the whole process
#   bench_hwm_mb PID               peak resident set (VmHWM) in MB
#   bench_result NAME VALUE UNIT DETAIL   one result line

BENCH_AS_USER=${BENCH_AS_USER:-}
_bench_busy=()

bench_result() { printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4"; }

# Median of the numbers on standard input, one a line.
bench_median() { sort -g | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'; }

# A normal user can reach the private servers and has a home of its own.
bench_open_to_user()
{
    local user=$1
    chmod 755 "$E2E_DIR" "$E2E_DIR/run"
    mkdir -p -m 700 "$E2E_DIR/user-home" "$E2E_DIR/user-run"
    chown "$user:" "$E2E_DIR/user-home" "$E2E_DIR/user-run"
    # PipeWire's socket is writable by its owner only (a client must write to
    # connect); PulseAudio's is open to all.
    [[ -S $E2E_DIR/run/pipewire-0 ]] && chmod 666 "$E2E_DIR/run/pipewire-0"
    return 0
}

bench_launch()
{
    local launcher=()
    if [[ -n $BENCH_AS_USER ]]; then
        # setpriv execs in place, so $! is the program itself (runuser would fork).
        launcher=(env HOME="$E2E_DIR/user-home" XDG_RUNTIME_DIR="$E2E_DIR/user-run"
            XDG_CONFIG_HOME="$E2E_DIR/user-home/.config" XDG_CACHE_HOME="$E2E_DIR/user-home/.cache"
            setpriv --reuid="$BENCH_AS_USER" --regid="$(id -g "$BENCH_AS_USER")" --clear-groups --)
    fi
    BENCH_LAUNCH_TIME=$EPOCHREALTIME
    "${launcher[@]}" "$@" >"$E2E_DIR/app.log" 2>&1 &
    E2E_APP_PID=$!
    _e2e_pids+=("$E2E_APP_PID")
    local found
    found=$("$BENCH_BIN/bench-xtool" window "$E2E_APP_PID" "$BENCH_LAUNCH_TIME" 30 "${BENCH_TITLE:-}") || e2e_fail "no window: $(cat "$E2E_DIR/app.log")"
    read -r E2E_WIN BENCH_WINDOW_SECONDS <<<"$found"
}

bench_stop_app()
{
    kill -TERM "$E2E_APP_PID" 2>/dev/null
    e2e_reap "$E2E_APP_PID" 250
}

bench_record_start()
{
    : >"$E2E_DIR/rec.stamps"
    if [[ ${E2E_AUDIO:-pulseaudio} == pipewire ]]; then
        "$BENCH_BIN/bench-record-pw" "$E2E_SINK" "$E2E_DIR/rec.f32" "$E2E_DIR/rec.stamps" "${1:-256}" \
            2>"$E2E_DIR/record.log" &
    else
        "$BENCH_BIN/bench-record" "$E2E_SINK.monitor" "$E2E_DIR/rec.f32" "$E2E_DIR/rec.stamps" 2>"$E2E_DIR/record.log" &
    fi
    _bench_recorder=$!
    _e2e_pids+=("$_bench_recorder")
    # The monitor delivers nothing for the first second or two.
    _e2e_poll 10 test -s "$E2E_DIR/rec.stamps" || e2e_fail "nothing recorded: $(cat "$E2E_DIR/record.log")"
    sleep 0.5
}

bench_record_stop()
{
    kill -INT "$_bench_recorder" 2>/dev/null
    wait "$_bench_recorder" 2>/dev/null
}

bench_busy_start()
{
    local i
    for ((i = 0; i < $1; ++i)); do
        bash -c 'while :; do :; done' &
        _bench_busy+=($!)
        _e2e_pids+=($!)
    done
}

bench_busy_stop()
{
    local pid
    for pid in "${_bench_busy[@]}"; do
        kill -TERM "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    _bench_busy=()
}

bench_cpu_seconds()
{
    awk -v tick="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); printf "%.2f", ($12 + $13) / tick }' "/proc/$1/stat"
}

bench_hwm_mb() { awk '/^VmHWM:/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }
