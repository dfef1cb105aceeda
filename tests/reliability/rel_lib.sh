# shellcheck shell=bash
# Helpers for the reliability end-to-end scripts, on top of ../e2e/harness.sh
# (source that first).
#   rel_child_pid NAME            pid of the process named NAME that this script started
#                                 (Xvfb, pulseaudio): only our own servers are ever killed
#   rel_play [keys]               a few clicks and keys, proving the window answers; with
#                                 "keys" no clicks, which would take the focus to a key
#   rel_expect_exit STATUS [S]    the program ends within S seconds (REL_EXIT_BOUND) with
#                                 STATUS, not by a signal; a hung program is killed and fails
#   rel_expect_output N [PREFIX]  its stderr has exactly N lines, each starting with PREFIX
#   rel_run_without_x CMD...      runs CMD with a time limit and no X server; sets
#                                 REL_STATUS and REL_OUTPUT

# The program's own exit deadline is 5 s; slow sanitizer builds need slack.
REL_EXIT_BOUND=${REL_EXIT_BOUND:-15}

rel_child_pid()
{
    local stat pid comm ppid
    for stat in /proc/[0-9]*/stat; do
        read -r pid comm _ ppid _ <"$stat" 2>/dev/null || continue
        if [[ $ppid == "$$" && $comm == "($1)" ]]; then
            echo "$pid"
            return 0
        fi
    done
    return 1
}

rel_play()
{
    e2e_focus
    if [[ ${1:-} != keys ]]; then
        e2e_click_key 12
        e2e_click_key 22
    fi
    e2e_press_key q 2 F2 comma bracketright F1
}

rel_expect_exit()
{
    local expected=$1 bound=${2:-$REL_EXIT_BOUND}
    if ! e2e_wait_exit "$bound"; then
        kill -KILL "$E2E_APP_PID" 2>/dev/null
        e2e_fail "still running ${bound} s after being asked to end; log: $(cat "$E2E_DIR/app.log")"
    fi
    e2e_log "exited with status $E2E_EXIT_STATUS after ${E2E_EXIT_SECONDS} s"
    ((E2E_EXIT_STATUS < 128)) || e2e_fail "ended by signal $((E2E_EXIT_STATUS - 128)); log: $(cat "$E2E_DIR/app.log")"
    [[ $E2E_EXIT_STATUS -eq $expected ]] ||
        e2e_fail "exit status $E2E_EXIT_STATUS, expected $expected; log: $(cat "$E2E_DIR/app.log")"
}

rel_expect_output()
{
    local count=$1 prefix=${2:-} log=${REL_OUTPUT_FILE:-$E2E_DIR/app.log} lines
    lines=$(wc -l <"$log")
    [[ $lines -eq $count ]] || e2e_fail "wrote $lines lines, expected $count: $(cat "$log")"
    if [[ -n $prefix ]] && grep -qv "^$prefix" "$log"; then
        e2e_fail "wrote a line not starting with '$prefix': $(cat "$log")"
    fi
    ((count == 0)) || e2e_log "wrote: $(cat "$log")"
}

rel_run_without_x()
{
    REL_OUTPUT_FILE=$E2E_DIR/app.log
    (cd "$E2E_DIR" && timeout -s KILL "$REL_EXIT_BOUND" "$@") >"$REL_OUTPUT_FILE" 2>&1
    REL_STATUS=$?
    [[ $REL_STATUS -ne 137 ]] || e2e_fail "still running after $REL_EXIT_BOUND s without a display"
}
