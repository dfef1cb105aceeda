# Turns build-bench/bench-results/results.tsv (name, value, unit, detail,
# command) into the benchmark tables: the single figures, key-to-sound and
# dropouts per sound server, load and user beside the reference client's, and
# the targets.
#   awk -f summary.awk -v users="root nobody" results.tsv
BEGIN { FS = "\t" }

{
    value[$1] = $2; unit[$1] = $3; detail[$1] = $4; command[$1] = $5
    if ($1 !~ /\[server=/) plain[++nplain] = $1
    else if (!($5 in seenCommand)) { seenCommand[$5] = 1; soundCommands[++nsound] = $5 }
}

function has(name) { return name in value && value[name] != "" && value[name] != "nan" }
function show(name) { return has(name) ? sprintf("%s %s", value[name], unit[name]) : "-" }
function ratioLine(label, a, b, target, ok,    r) {
    if (!has(a) || !has(b) || value[b] == 0) { printf "  %-38s %s vs %s: not measured\n", label, show(a), show(b); return }
    r = value[a] / value[b]
    printf "  %-38s %s / %s = %.2fx  (target %s)  %s\n", label, show(a), show(b), r, target, (r <= ok ? "met" : "MISSED")
}
function limitLine(label, a, limit, unitText) {
    if (!has(a)) { printf "  %-38s not measured\n", label; return }
    printf "  %-38s %s  (target < %s %s)  %s\n", label, show(a), limit, unitText, (value[a] < limit ? "met" : "MISSED")
}
# a <= b + slack; b "" for none.
function notAbove(label, a, b, slack) {
    if (b == "") { if (!has(a)) { printf "  %-38s not measured\n", label; return }
        printf "  %-38s %s  %s\n", label, show(a), (value[a] <= slack ? "met" : "MISSED"); return }
    if (!has(a) || !has(b)) { printf "  %-38s %s vs %s: not measured\n", label, show(a), show(b); return }
    printf "  %-38s %s vs %s (+%s)  %s\n", label, value[a], value[b], slack, (value[a] <= value[b] + slack ? "met" : "MISSED")
}
function key(what, server, load, user) { return what "[server=" server ",load=" load ",user=" user "]" }
function cell(what, server, load, user,    k) { k = key(what, server, load, user); return has(k) ? value[k] : "-" }

END {
    printf "\nSingle figures (medians unless named otherwise)\n"
    printf "%-44s %-12s %-s\n", "figure", "value", "detail  <-  command"
    for (i = 1; i <= nplain; ++i) {
        n = plain[i]
        printf "%-44s %-12s %s  <-  %s\n", n, show(n), detail[n], command[n]
    }

    nu = split(users, U, " ")
    split("pulseaudio pipewire", S, " ")
    for (u = 1; u <= nu; ++u) {
        user = U[u]
        printf "\nKey-to-sound and dropouts as %s (ms; XTest press, or the reference's stamp, to the first sample\n", user
        printf "of its sound in the null sink's monitor; chain = the reference client's measured - known, same run)\n"
        printf "%-10s %-4s | %-6s %-6s %-6s | %-6s %-6s %-6s %-6s %-6s %-5s | %-8s %-8s | %s\n", "server", "load", "ref", "known",
            "chain", "median", "p90", "max", "spread", "floor", "below", "drop/min", "ref drop", "buffer, drift ppm, load"
        for (s = 1; s <= 2; ++s) for (l = 1; l <= 2; ++l) {
            server = S[s]; load = l == 1 ? "idle" : "busy"
            if (cell("key_to_sound_median", server, load, user) == "-" && cell("chain_median", server, load, user) == "-") continue
            printf "%-10s %-4s | %-6s %-6s %-6s | %-6s %-6s %-6s %-6s %-6s %-5s | %-8s %-8s | %s, %s, %s\n", server, load,
                cell("reference_measured_median", server, load, user), cell("reference_known_median", server, load, user),
                cell("chain_median", server, load, user), cell("key_to_sound_median", server, load, user),
                cell("key_to_sound_p90", server, load, user), cell("key_to_sound_max", server, load, user),
                cell("key_to_sound_spread", server, load, user), cell("key_to_sound_floor", server, load, user),
                cell("below_floor", server, load, user), cell("dropouts_per_minute", server, load, user),
                cell("reference_dropouts_per_minute", server, load, user), cell("buffer", server, load, user),
                cell("sink_drift", server, load, user), cell("load_average", server, load, user)
        }
    }
    if (nsound) {
        printf "\nKey-to-sound rows come from (one run each):\n"
        for (i = 1; i <= nsound; ++i) printf "  %s\n", soundCommands[i]
    }

    printf "\nTargets\n"
    ratioLine("launch to window vs VMPK", "launch_to_window[plinkora]", "launch_to_window[vmpk]", "<= 0.5x", 0.5)
    ratioLine("launch to window vs bare Qt window", "launch_to_window[plinkora]", "launch_to_window[bare-qt-window]", "<= 1.3x", 1.3)
    ratioLine("peak RSS after start vs VMPK", "peak_rss_after_start[plinkora]", "peak_rss_after_start[vmpk]", "<= 0.5x", 0.5)
    ratioLine("CPU in 10 s idle vs VMPK", "cpu_idle_10s[plinkora]", "cpu_idle_10s[vmpk]", "<= 1x", 1)
    limitLine("key event to note-on p99 (recording)", "key_to_noteon_recording_p99", 1000, "us")
    limitLine("key event to note-on p99 (synth)", "key_to_noteon_synth_p99", 1000, "us")
    limitLine("click to note-on p99 (synth)", "click_to_noteon_synth_p99", 1000, "us")
    for (u = 1; u <= nu; ++u) {
        user = U[u]
        for (l = 1; l <= 2; ++l) {
            load = l == 1 ? "idle" : "busy"
            notAbove("PulseAudio median <= 6 ms, " load ", " user, key("key_to_sound_median", "pulseaudio", load, user), "", 6)
            notAbove("PulseAudio max <= 8 ms, " load ", " user, key("key_to_sound_max", "pulseaudio", load, user), "", 8)
            for (s = 1; s <= 2; ++s) {
                server = S[s]
                notAbove("dropouts/min vs reference, " server ", " load, key("dropouts_per_minute", server, load, user),
                    key("reference_dropouts_per_minute", server, load, user), 0)
            }
            notAbove("PipeWire median vs reference + 2 ms, " load, key("key_to_sound_median", "pipewire", load, user),
                key("reference_measured_median", "pipewire", load, user), 2)
        }
    }

    ratioLine("launch, prototype deferred synth", "launch_to_window[prototype-deferred-synth]", "launch_to_window[vmpk]", "<= 0.5x", 0.5)
}
