#!/usr/bin/env bash
# One way out of the real program, after it has played: the process must end
# within a bound, with status 0, and print nothing.
#   exit_paths.sh WAY     (PLINKORA: the program; PLINKORA_XCLOSE: tests/reliability/x11_close)
# WAY: esc | space | enter | wm-close | window-destroyed | sigterm | sigint | sighup | sigterm-twice
#      | x-server-dies | sigterm-while-starting
# A window destroyed by another X client ends the program as a desktop close does.
# When the X server dies the window cannot unload (the program has nothing left
# to close it with): Qt ends the process with status 1, at once and quietly.
# That status is kept: the session did not end in order, and a caller should
# be able to tell.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/harness.sh"
source "$(dirname "${BASH_SOURCE[0]}")/rel_lib.sh"

way=${1:?way out}
e2e_require Xvfb xdotool pulseaudio pactl
e2e_init
e2e_start_x
e2e_start_audio

# SIGTERM at moments of the start-up: the program catches the signal first
# thing in main, so from then on, while the toolkit starts, the window loads
# and the synthesizer opens, it leaves in order with status 0. Only a signal
# that beats main itself (the dynamic loader and the libraries' own start take
# some 30-40 ms here, longer sanitized or on a busy machine) may end it by the
# signal's default, which is sound since nothing is open yet. Whether main had
# caught it is read from the kernel just before the signal is sent, not guessed
# from the delay. Never a hang, a crash or a word.
# The moments count from `exec`: until then the launched process is a fork of
# this shell, which catches SIGTERM for the harness's EXIT trap and would run
# the trap (stopping this test's servers) instead of the program.
runs_program() { [[ /proc/$1/exe -ef $PLINKORA ]]; }

wait_for_exec()
{
    local tries
    for ((tries = 0; tries < 5000; tries++)); do
        runs_program "$1" && return 0
        sleep 0.002
    done
    e2e_fail "the launched process is not the program after 10 s"
}

catches_sigterm()
{
    local mask
    runs_program "$1" || return 1
    mask=$(awk '$1 == "SigCgt:" { print $2 }' "/proc/$1/status" 2>/dev/null) || return 1
    [[ -n $mask ]] && ((0x$mask & (1 << (15 - 1))))
}

if [[ $way == sigterm-while-starting ]]; then
    for delay in 0 0.05 0.1 0.15 0.2 0.3 0.5; do
        e2e_launch "${PLINKORA:?path of the plinkora binary}"
        wait_for_exec "$E2E_APP_PID"
        sleep "$delay"
        caught=0
        catches_sigterm "$E2E_APP_PID" && caught=1
        kill -TERM "$E2E_APP_PID"
        e2e_wait_exit "$REL_EXIT_BOUND" || e2e_fail "still running $REL_EXIT_BOUND s after SIGTERM at ${delay} s"
        e2e_log "SIGTERM at ${delay} s (main had caught it: $caught): status $E2E_EXIT_STATUS after ${E2E_EXIT_SECONDS} s"
        [[ $E2E_EXIT_STATUS -eq 0 || ($caught == 0 && $E2E_EXIT_STATUS -eq $((128 + 15))) ]] ||
            e2e_fail "status $E2E_EXIT_STATUS after SIGTERM at ${delay} s: $(cat "$E2E_DIR/app.log")"
        rel_expect_output 0
    done
    # And main does catch it first thing, before the window appears: a window
    # seen while SIGTERM is not caught yet fails (looked for in that order, so
    # that a window which comes while this script looks proves nothing wrong).
    e2e_launch "$PLINKORA"
    wait_for_exec "$E2E_APP_PID"
    for ((tries = 0; tries < 500; tries++)); do
        window=$(xdotool search --onlyvisible --pid "$E2E_APP_PID" --name '^Plinkora$' 2>/dev/null)
        catches_sigterm "$E2E_APP_PID" && break
        [[ -z $window ]] || e2e_fail "the window came before SIGTERM was caught"
        sleep 0.01
    done
    catches_sigterm "$E2E_APP_PID" || e2e_fail "SIGTERM not caught 10 s after the program started"
    e2e_end_app
    exit 0
fi

e2e_launch "${PLINKORA:?path of the plinkora binary}"
e2e_wait_window
# Space and Enter quit only while the invisible quit button has the focus,
# which a click on a key takes.
case $way in
    space | enter) rel_play keys ;;
    *) rel_play ;;
esac

expected_status=0
case $way in
    esc) e2e_press_key Escape ;;
    space) e2e_press_key space ;;
    enter) e2e_press_key Return ;;
    wm-close) "${PLINKORA_XCLOSE:?path of x11_close}" "$E2E_WIN" || e2e_fail "x11_close failed" ;;
    window-destroyed) "${PLINKORA_XCLOSE:?path of x11_close}" --destroy "$E2E_WIN" || e2e_fail "x11_close failed" ;;
    sigterm) kill -TERM "$E2E_APP_PID" ;;
    sigint) kill -INT "$E2E_APP_PID" ;;
    sighup) kill -HUP "$E2E_APP_PID" ;;
    sigterm-twice) kill -TERM "$E2E_APP_PID"; kill -TERM "$E2E_APP_PID" ;;
    x-server-dies)
        xvfb=$(rel_child_pid Xvfb) || e2e_fail "cannot find the Xvfb process"
        kill -KILL "$xvfb"
        expected_status=1
        ;;
    *) e2e_fail "unknown way out: $way" ;;
esac
rel_expect_exit "$expected_status"
rel_expect_output 0
