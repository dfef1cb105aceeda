# Turns build-bench/bench-results/results.tsv (name, value, unit, detail,
# command) into the benchmark tables: the single figures, key-to-sound per
# period size and user, the targets, and the period recommendation.
#   awk -f summary.awk -v periods="128 256" -v users="root nobody" results.tsv
BEGIN { FS = "\t" }

{
    value[$1] = $2; unit[$1] = $3; detail[$1] = $4; command[$1] = $5
    if ($1 !~ /\[period=/) plain[++nplain] = $1
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
function key(what, period, load, user) { return what "[period=" period ",load=" load ",user=" user "]" }
function cell(what, period, load, user,    k) { k = key(what, period, load, user); return has(k) ? value[k] : "-" }

END {
    printf "\nSingle figures (medians unless named otherwise)\n"
    printf "%-44s %-12s %-s\n", "figure", "value", "detail  <-  command"
    for (i = 1; i <= nplain; ++i) {
        n = plain[i]
        printf "%-44s %-12s %s  <-  %s\n", n, show(n), detail[n], command[n]
    }

    np = split(periods, P, " "); nu = split(users, U, " ")
    for (u = 1; u <= nu; ++u) {
        user = U[u]
        if (!has(key("key_to_sound_median", P[1], "idle", user)) && !has(key("key_to_sound_median", P[1], "busy", user))) continue
        printf "\nKey-to-sound as %s (ms; XTest press to the note's first sample in the null sink's monitor)\n", user
        printf "idle: no load of ours (others' work still runs: see the load column); busy: two busy loops added\n"
        printf "%-7s %-8s | %-8s %-15s %-9s %-5s | %-8s %-15s %-9s %-5s | %s\n", "period", "implied", "idle med", "idle p10-p90",
            "drop/min", "miss", "busy med", "busy p10-p90", "drop/min", "miss", "sink drift ppm; load idle/busy"
        for (p = 1; p <= np; ++p) {
            period = P[p]
            implied = cell("implied_latency", period, "idle", user)
            if (implied == "-") implied = cell("implied_latency", period, "busy", user)
            printf "%-7s %-8s", period, implied
            for (l = 1; l <= 2; ++l) {
                load = l == 1 ? "idle" : "busy"
                printf " | %-8s %-15s %-9s %-5s", cell("key_to_sound_median", period, load, user),
                    cell("key_to_sound_p10", period, load, user) "-" cell("key_to_sound_p90", period, load, user),
                    cell("dropouts_per_minute", period, load, user), cell("notes_missed", period, load, user)
            }
            printf " | %s %s; %s/%s\n", cell("sink_drift", period, "idle", user), cell("sink_drift", period, "busy", user),
                cell("load_average", period, "idle", user), cell("load_average", period, "busy", user)
        }
        recommended[user] = ""
        for (p = 1; p <= np && recommended[user] == ""; ++p)
            if (cell("dropouts", P[p], "busy", user) == "0" && cell("dropouts", P[p], "idle", user) ~ /^(0|-)$/)
                recommended[user] = P[p]
    }
    if (nsound) {
        printf "\nKey-to-sound rows come from (one run each):\n"
        for (i = 1; i <= nsound; ++i) printf "  %s\n", soundCommands[i]
    }

    printf "\nTargets\n"
    ratioLine("launch to window vs VMPK", "launch_to_window[plinkora]", "launch_to_window[vmpk]", "<= 0.5x", 0.5)
    ratioLine("peak RSS after start vs VMPK", "peak_rss_after_start[plinkora]", "peak_rss_after_start[vmpk]", "<= 0.5x", 0.5)
    ratioLine("CPU in 10 s idle vs VMPK", "cpu_idle_10s[plinkora]", "cpu_idle_10s[vmpk]", "<= 1x", 1)
    limitLine("key event to note-on p99 (recording)", "key_to_noteon_recording_p99", 1000, "us")
    limitLine("key event to note-on p99 (synth)", "key_to_noteon_synth_p99", 1000, "us")
    limitLine("click to note-on p99 (synth)", "click_to_noteon_synth_p99", 1000, "us")
    for (u = 1; u <= nu; ++u) {
        user = U[u]
        limitLine("key-to-sound median, 256, idle, " user, key("key_to_sound_median", 256, "idle", user), 10, "ms")
        limitLine("key-to-sound median, 256, busy, " user, key("key_to_sound_median", 256, "busy", user), 10, "ms")
    }

    ratioLine("launch, prototype deferred synth", "launch_to_window[prototype-deferred-synth]", "launch_to_window[vmpk]", "<= 0.5x", 0.5)
    printf "\nPeriod size: the smallest with no dropout idle and under load\n"
    for (u = 1; u <= nu; ++u) {
        user = U[u]
        if (!(user in recommended)) continue
        r = recommended[user]
        if (r == "") { printf "  as %s: none of %s was clean\n", user, periods; continue }
        printf "  as %s: %s frames, %s ms implied; key-to-sound median %s ms idle, %s ms busy\n", user, r,
            cell("implied_latency", r, "busy", user), cell("key_to_sound_median", r, "idle", user),
            cell("key_to_sound_median", r, "busy", user)
    }
}
