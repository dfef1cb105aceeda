// bench-analyze: key-to-sound and dropouts from one end-to-end run, with the
// analysis the tests use (tests/analysis). AUDIO and STAMPS come from
// bench-record, whose recording's clock is fitted to the wall clock from the
// arrival times in STAMPS, or from bench-record-pw, whose STAMPS (headed
// "# graph clock") are exact and used as they are.
//   bench-analyze keys PROGRAM AUDIO STAMPS PRESSES [FLOOR_MS]
//       PRESSES from bench-xtool keys ("BEFORE AFTER KEYCODE"), played with
//       General MIDI PROGRAM; FLOOR_MS counts results below that floor even
//       from BEFORE (the figures are from the middle of BEFORE and AFTER)
//   bench-analyze reference AUDIO STAMPS BURSTS
//       BURSTS from bench-refclient bursts ("STAMP KNOWN")
//   bench-analyze dropouts AUDIO STAMPS FROM TO
//       runs of 0.5 ms of digital silence from the first sound after FROM
//       to TO (wall-clock seconds)
//   bench-analyze selfcheck PROGRAM NOTES
//       the same onset finding on an offline render whose note starts are
//       known (struck on random blocks, 1 s apart, earlier notes ringing):
//       how far it reads from the truth
// Each event's sound starts at its onset in the recording less the distance
// that the onset finder reads behind the start of the same note rendered
// offline from silence. Prints result lines, and per event "event TIME MS"
// on stderr.

#include "ClockFit.h"
#include "ExactStamps.h"
#include "Stats.h"

#include "Analysis.h"
#include "ui/KeyTable.h"
#include "ui/KeyTranslate.h"
#include "ui/KeyboardMap.h"
#include "midi/ShortMessage.h"
#include "synth/SynthEngine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 48000;
constexpr double kDropoutSeconds = 0.0005;
// The onset is looked for from shortly before the event (the clock fit is
// good to a fraction of a millisecond) to well after it.
constexpr double kSearchBefore = 0.002;
constexpr double kSearchAfter = 0.2;
// Whole 64-frame blocks: the synthesizer starts a note on a block boundary,
// so every template must end on one for the next to start at its first frame.
constexpr int kTemplateFrames = 64 * 48;
constexpr double kTemplateSeconds = kTemplateFrames / kRate;
constexpr double kTimingShare = 0.1;

[[noreturn]] void usage()
{
    std::fputs("usage: bench-analyze keys PROGRAM AUDIO STAMPS PRESSES [FLOOR_MS]\n"
               "       bench-analyze reference AUDIO STAMPS BURSTS\n"
               "       bench-analyze dropouts AUDIO STAMPS FROM TO\n"
               "       bench-analyze selfcheck PROGRAM NOTES\n",
               stderr);
    std::exit(2);
}

[[noreturn]] void fail(const std::string& why)
{
    std::fprintf(stderr, "bench-analyze: %s\n", why.c_str());
    std::exit(1);
}

std::vector<std::vector<double>> readRows(const std::string& path)
{
    std::vector<std::vector<double>> rows;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::vector<double> row;
        for (double v; fields >> v;)
            row.push_back(v);
        if (!row.empty())
            rows.push_back(row);
    }
    return rows;
}

// The sink's clock keeps no steady rate on a busy machine (seen: residuals
// of 3 ms about one line through a minute): each moment is mapped through a
// line fitted to the arrivals around it.
constexpr double kLocalFitSeconds = 5;

struct Run {
    analysis::Audio audio;
    bench::ClockFit fit;
    std::vector<bench::Arrival> arrivals;
    std::optional<bench::ExactStamps> exact;

    bench::ClockFit near(double wall) const
    {
        std::vector<bench::Arrival> around;
        for (const auto& a : arrivals)
            if (std::abs(a.wall - wall) < kLocalFitSeconds)
                around.push_back(a);
        return bench::fitClock(around, kRate).value_or(fit);
    }
    double seconds(double wall) const
    {
        return (exact ? exact->frameAt(wall) : near(wall).frameAt(wall)) / audio.rate;
    }
    double wall(double seconds) const
    {
        const double frame = seconds * audio.rate;
        return exact ? exact->wallAt(frame) : near(fit.wallAt(frame)).wallAt(frame);
    }
};

bool graphClock(const std::string& stampPath)
{
    std::ifstream in(stampPath);
    std::string first;
    return std::getline(in, first) && first == "# graph clock";
}

Run load(const std::string& audioPath, const std::string& stampPath)
{
    std::string why;
    auto audio = analysis::readAudio(audioPath, analysis::RawFormat{}, &why);
    if (!audio)
        fail(why);
    std::vector<bench::Arrival> arrivals;
    for (const auto& row : readRows(stampPath))
        if (row.size() >= 2)
            arrivals.push_back({row[0], row[1]});
    if (graphClock(stampPath))
        return {std::move(*audio), bench::ClockFit{}, {}, bench::ExactStamps(std::move(arrivals), kRate)};
    const auto fit = bench::fitClock(arrivals, kRate);
    if (!fit)
        fail("no clock fit from " + stampPath);
    return {std::move(*audio), *fit, std::move(arrivals), std::nullopt};
}

// The first samples of notes rendered offline from silence, as the program plays them.
std::unique_ptr<synth::SynthEngine> offlineEngine()
{
    synth::SynthConfig config = synth::installedConfig();
    config.audioOutputs.clear();
    config.sampleRate = kRate;
    auto engine = synth::SynthEngine::create(config, nullptr, nullptr);
    if (!engine)
        fail("no offline synthesizer");
    return engine;
}

class Templates {
public:
    explicit Templates(int program) : program_(program), engine_(offlineEngine()) {}

    const analysis::Audio& of(int note)
    {
        auto& t = notes_[note];
        if (!t.samples.empty())
            return t;
        fresh();
        engine_->play(midi::noteOn(static_cast<std::uint32_t>(note)));
        std::vector<float> left(kTemplateFrames), right(left.size());
        engine_->render(left.data(), right.data(), kTemplateFrames);
        t.rate = kRate;
        for (std::size_t i = 0; i < left.size(); ++i)
            t.samples.push_back((left[i] + right[i]) / 2);
        return t;
    }

private:
    void fresh()
    {
        engine_->play(midi::pack(0xB0, 120));  // all sound off
        std::vector<float> left(static_cast<std::size_t>(kRate)), right(left.size());
        engine_->render(left.data(), right.data(), static_cast<int>(left.size()));
        engine_->play(midi::programChange(static_cast<std::uint32_t>(program_)));
    }

    int program_;
    std::unique_ptr<synth::SynthEngine> engine_;
    std::map<int, analysis::Audio> notes_;
};

// Wall-clock time at which the sound that `cleanStart` renders from silence
// starts in the recording after `event`, or none. The note is timed where it
// first reaches a tenth of its peak, high above what still rings from before,
// which would otherwise move its faint first samples.
std::optional<double> soundAfter(const Run& run, double event, const analysis::Audio* cleanStart)
{
    const double after = run.seconds(event - kSearchBefore);
    const auto onset = analysis::findOnset(run.audio, after);
    if (!onset || *onset > run.seconds(event + kSearchAfter))
        return std::nullopt;
    if (!cleanStart)
        return run.wall(*onset);
    const double level = std::max(analysis::onsetThreshold(run.audio, after),
                                  kTimingShare * std::pow(10.0, analysis::peakDb(*cleanStart, 0, kTemplateSeconds) / 20));
    const auto there = analysis::firstSampleAbove(run.audio, *onset, level);
    const auto behind = analysis::firstSampleAbove(*cleanStart, 0, level);
    if (!there || !behind)
        return std::nullopt;
    return run.wall(*there - *behind);
}

void reportSpread(const std::string& name, const std::vector<double>& ms, const std::string& detail)
{
    bench::report(name + "_median", bench::median(ms), "ms", detail);
    bench::report(name + "_p90", bench::percentile(ms, 90), "ms", detail);
    bench::report(name + "_max", bench::percentile(ms, 100), "ms", detail);
    bench::report(name + "_min", bench::percentile(ms, 0), "ms", detail);
    bench::report(name + "_spread", bench::percentile(ms, 90) - bench::percentile(ms, 10), "ms", "p90 - p10; " + detail);
}

// Exact stamps have no drift to tell: they are the sink's clock.
void reportClock(const Run& run)
{
    if (!run.exact)
        bench::report("sink_drift", run.fit.driftPpm(), "ppm",
                      "residual max " + std::to_string(run.fit.residualMax * 1000) + " ms");
}

std::optional<int> noteOfKeycode(unsigned keycode)
{
    const keymap::Action action = keymap::actionFor(keytranslate::fromXKeycode(keycode));
    if (action.kind != keymap::Kind::PlayKey)
        return std::nullopt;
    return keys::note(action.value);
}

int pressedKeys(int argc, char** argv)
{
    if (argc < 6)
        usage();
    Templates templates(std::atoi(argv[2]));
    const Run run = load(argv[3], argv[4]);
    const double floorMs = argc > 6 ? std::atof(argv[6]) : 0;
    std::vector<double> ms;
    double bracket = 0;
    int presses = 0, belowFloor = 0;
    for (const auto& row : readRows(argv[5])) {
        if (row.size() < 3)
            continue;
        const auto note = noteOfKeycode(static_cast<unsigned>(row[2]));
        if (!note)
            continue;
        ++presses;
        const double press = (row[0] + row[1]) / 2;
        bracket = std::max(bracket, row[1] - row[0]);
        if (const auto sound = soundAfter(run, press, &templates.of(*note))) {
            ms.push_back((*sound - press) * 1000);
            // From the earliest the key can have gone down: below the floor
            // even then is impossible.
            belowFloor += (*sound - row[0]) * 1000 < floorMs ? 1 : 0;
            std::fprintf(stderr, "event %.6f %.3f\n", press, ms.back());
        }
    }
    const std::string n = "n=" + std::to_string(ms.size()) + "/" + std::to_string(presses);
    reportSpread("key_to_sound", ms, n);
    bench::report("notes_missed", presses - static_cast<double>(ms.size()), "count", n);
    if (floorMs > 0)
        bench::report("below_floor", belowFloor, "count",
                      "results under " + std::to_string(floorMs) + " ms from the press's request");
    bench::report("press_bracket_max", bracket * 1000, "ms", "XTest request to round trip");
    reportClock(run);
    return ms.empty() ? 1 : 0;
}

int reference(int argc, char** argv)
{
    if (argc != 5)
        usage();
    const Run run = load(argv[2], argv[3]);
    std::vector<double> measured, known, chain;
    for (const auto& row : readRows(argv[4])) {
        if (row.size() < 2)
            continue;
        if (const auto sound = soundAfter(run, row[0], nullptr)) {
            measured.push_back((*sound - row[0]) * 1000);
            known.push_back(row[1] * 1000);
            chain.push_back(measured.back() - known.back());
            std::fprintf(stderr, "event %.6f %.3f known %.3f\n", row[0], measured.back(), known.back());
        }
    }
    const std::string n = "n=" + std::to_string(measured.size());
    reportSpread("reference_measured", measured, n);
    reportSpread("reference_known", known, n + ", the client's own figure");
    reportSpread("chain", chain, n + ", measured - known");
    reportClock(run);
    return measured.empty() ? 1 : 0;
}

int dropouts(int argc, char** argv)
{
    if (argc != 6)
        usage();
    const Run run = load(argv[2], argv[3]);
    const auto from = analysis::findOnset(run.audio, run.seconds(std::atof(argv[4])));
    const double to = std::min(run.seconds(std::atof(argv[5])), run.audio.duration());
    if (!from || *from >= to)
        fail("nothing sounded");
    const int runs = analysis::silentRuns(run.audio, *from, to, kDropoutSeconds);
    const double minutes = (to - *from) / 60;
    bench::report("dropouts", runs, "count", "silent runs >= 0.5 ms");
    bench::report("dropouts_per_minute", runs / minutes, "/min", "over " + std::to_string(minutes * 60) + " s");
    reportClock(run);
    return 0;
}

int selfcheck(int argc, char** argv)
{
    if (argc != 4)
        usage();
    const int program = std::atoi(argv[2]), notes = std::atoi(argv[3]);
    constexpr long kSpacing = 48000, kBlock = 64;
    constexpr int kNotes[] = {48, 55, 62, 69, 76, 83, 53, 60, 67, 74, 81, 50};
    std::mt19937 random(1);
    std::uniform_int_distribution<long> block(0, 100), lead(kBlock, 1200);
    Templates templates(program);
    auto engine = offlineEngine();
    engine->play(midi::programChange(static_cast<std::uint32_t>(program)));
    std::vector<float> left(static_cast<std::size_t>(kSpacing * (notes + 1))), right(left.size());
    std::vector<std::pair<long, int>> starts;
    long done = 0;
    for (int i = 1; i <= notes; ++i) {
        const long start = i * kSpacing + block(random) * kBlock;
        engine->render(left.data() + done, right.data() + done, static_cast<int>(start - done));
        starts.emplace_back(start, kNotes[static_cast<std::size_t>(i) % std::size(kNotes)]);
        engine->play(midi::noteOn(static_cast<std::uint32_t>(starts.back().second)));
        done = start;
    }
    engine->render(left.data() + done, right.data() + done, static_cast<int>(left.size()) - static_cast<int>(done));
    Run run{analysis::Audio{kRate, std::vector<float>(left.size())}, bench::ClockFit{}, {}, {}};
    for (std::size_t f = 0; f < left.size(); ++f)
        run.audio.samples[f] = (left[f] + right[f]) / 2;
    std::vector<double> errorMs;
    for (const auto& [start, note] : starts) {
        const double press = static_cast<double>(start - lead(random)) / kRate;
        if (const auto sound = soundAfter(run, press, &templates.of(note)))
            errorMs.push_back((*sound - static_cast<double>(start) / kRate) * 1000);
    }
    const std::string n = "program " + std::to_string(program) + ", n=" + std::to_string(errorMs.size()) + "/"
        + std::to_string(notes) + ", min " + std::to_string(bench::percentile(errorMs, 0)) + " ms";
    bench::report("onset_error_median", bench::median(errorMs), "ms", n);
    bench::report("onset_error_max", bench::percentile(errorMs, 100), "ms", n);
    return static_cast<int>(errorMs.size()) == notes ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::map<std::string, std::function<int(int, char**)>> modes = {
        {"keys", pressedKeys}, {"reference", reference}, {"dropouts", dropouts}, {"selfcheck", selfcheck}};
    const auto mode = argc > 1 ? modes.find(argv[1]) : modes.end();
    if (mode == modes.end())
        usage();
    return mode->second(argc, argv);
}
