// bench-analyze: key-to-sound latency and dropouts from one end-to-end run.
//   bench-analyze AUDIO_FILE STAMP_FILE PRESS_FILE
// AUDIO_FILE and STAMP_FILE come from bench-record, PRESS_FILE from
// bench-xtool keys. Each press's time is the middle of its XTest call; the
// note's start is found after it in the recording and turned into wall-clock
// time through the fitted clock of the recording. Prints result lines.

#include "ClockFit.h"
#include "Dropouts.h"
#include "NoteLocator.h"
#include "Stats.h"

#include "KeyTable.h"
#include "KeyTranslate.h"
#include "KeyboardMap.h"

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 48000;
constexpr int kChannels = 2;
// 0.5 ms of exact digital silence cannot occur inside a sounding piano note.
constexpr int kDropoutSamples = 24;
// The last note is still loud this long after its press.
constexpr double kSoundingAfterLastPress = 0.6;
// The note is looked for from shortly before the press (the clock fit is good
// to a fraction of a millisecond) to well after it.
constexpr double kSearchBefore = 0.002;
constexpr double kSearchAfter = 0.2;

std::vector<float> readFloats(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::copy_n(bytes.data(), samples.size() * sizeof(float), reinterpret_cast<char*>(samples.data()));
    return samples;
}

std::vector<bench::Arrival> readStamps(const std::string& path)
{
    std::vector<bench::Arrival> arrivals;
    std::ifstream in(path);
    bench::Arrival a{};
    while (in >> a.frames >> a.wall)
        arrivals.push_back(a);
    return arrivals;
}

struct Press {
    double before = 0, after = 0;
    unsigned keycode = 0;
    double at() const { return (before + after) / 2; }
};

std::vector<Press> readPresses(const std::string& path)
{
    std::vector<Press> presses;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Press p;
        if (fields >> p.before >> p.after >> p.keycode)
            presses.push_back(p);
    }
    return presses;
}

std::vector<float> toMono(const std::vector<float>& interleaved)
{
    std::vector<float> mono(interleaved.size() / kChannels);
    for (std::size_t f = 0; f < mono.size(); ++f)
        mono[f] = (interleaved[f * kChannels] + interleaved[f * kChannels + 1]) / 2;
    return mono;
}

// The note an X keycode plays, or none.
std::optional<int> noteOfKeycode(unsigned keycode)
{
    const keymap::Action action = keymap::actionFor(keytranslate::fromXKeycode(keycode));
    if (action.kind != keymap::Kind::PlayKey)
        return std::nullopt;
    return keys::note(action.value);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fputs("usage: bench-analyze AUDIO_FILE STAMP_FILE PRESS_FILE\n", stderr);
        return 2;
    }
    const auto samples = readFloats(argv[1]);
    const auto presses = readPresses(argv[3]);
    const auto fit = bench::fitClock(readStamps(argv[2]), kRate);
    if (!fit || presses.empty()) {
        std::fputs("bench-analyze: no clock fit or no presses\n", stderr);
        return 1;
    }
    const auto mono = toMono(samples);
    bench::NoteLocator locator(kRate);
    std::vector<double> latencies, scores;
    double bracket = 0;
    long firstStart = -1;
    for (const Press& p : presses) {
        bracket = std::max(bracket, p.after - p.before);
        const auto note = noteOfKeycode(p.keycode);
        if (!note)
            continue;
        const auto from = static_cast<long>(fit->frameAt(p.at() - kSearchBefore));
        const auto to = static_cast<long>(fit->frameAt(p.at() + kSearchAfter));
        const auto match = locator.locate(mono, from, to, *note);
        if (!match)
            continue;
        if (firstStart < 0)
            firstStart = match->start;
        scores.push_back(match->score);
        latencies.push_back((fit->wallAt(static_cast<double>(match->start)) - p.at()) * 1000);
    }
    // The note's first samples are below the server's 16-bit resolution.
    while (firstStart >= 0 && firstStart < static_cast<long>(mono.size()) && mono[static_cast<std::size_t>(firstStart)] == 0.0f)
        ++firstStart;
    const long soundingEnd = static_cast<long>(fit->frameAt(presses.back().at() + kSoundingAfterLastPress));
    const int dropouts = firstStart < 0 ? 0 : bench::countZeroRuns(samples, kChannels, firstStart, soundingEnd, kDropoutSamples);
    const double soundingMinutes = firstStart < 0 ? 0 : (soundingEnd - firstStart) / kRate / 60;

    const std::string n = "n=" + std::to_string(latencies.size()) + "/" + std::to_string(presses.size())
        + ", lowest match " + std::to_string(bench::percentile(scores, 0));
    bench::report("key_to_sound_median", bench::median(latencies), "ms", n);
    bench::report("key_to_sound_p10", bench::percentile(latencies, 10), "ms", n);
    bench::report("key_to_sound_p90", bench::percentile(latencies, 90), "ms", n);
    bench::report("key_to_sound_min", bench::percentile(latencies, 0), "ms", n);
    bench::report("key_to_sound_max", bench::percentile(latencies, 100), "ms", n);
    bench::report("notes_missed", static_cast<double>(presses.size() - latencies.size()), "count", n);
    bench::report("dropouts", dropouts, "count", "zero runs >= " + std::to_string(kDropoutSamples) + " samples");
    bench::report("dropouts_per_minute", soundingMinutes > 0 ? dropouts / soundingMinutes : 0, "/min",
                  "over " + std::to_string(soundingMinutes * 60) + " s of sound");
    bench::report("sink_drift", fit->driftPpm(), "ppm", "residual max " + std::to_string(fit->residualMax * 1000) + " ms");
    bench::report("press_bracket_max", bracket * 1000, "ms", "XTest request to round trip");
    return 0;
}
