// The first note after an instrument change: SynthEngine::play of the program
// change and then of a note-on, for each F-key program in turn, with dynamic
// sample loading on (samples read at the change) and off (all read at start).
// Each run starts a fresh engine, so every program is a first use.
//   bench-programs [RUNS]

#include "Clock.h"
#include "Stats.h"

#include "ui/KeyboardMap.h"
#include "synth/SynthEngine.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kMiddleC = 60;
constexpr std::uint32_t noteOn(std::uint32_t note) { return 0x90 | note << 8 | 100u << 16; }
constexpr std::uint32_t programChange(std::uint32_t program) { return 0xC0 | program << 8; }

struct Costs {
    std::map<int, std::vector<double>> change;      // program change + first note-on, ms
    std::map<int, std::vector<double>> secondNote;  // the next note-on alone, ms
};

void runOnce(bool dynamicLoading, Costs& costs)
{
    synth::SynthConfig config = synth::installedConfig();
    config.audioOutputs.clear();
    config.dynamicSampleLoading = dynamicLoading;
    std::string why;
    auto engine = synth::SynthEngine::create(config, &why, nullptr);
    if (!engine) {
        std::fprintf(stderr, "bench-programs: %s\n", why.c_str());
        std::exit(1);
    }
    std::array<float, 4096> left{}, right{};
    for (const std::int16_t program : keymap::kFunctionKeyPrograms) {
        const auto start = bench::Steady::now();
        engine->play(programChange(static_cast<std::uint32_t>(program)));
        engine->play(noteOn(kMiddleC));
        const auto changed = bench::Steady::now();
        engine->render(left.data(), right.data(), static_cast<int>(left.size()));
        const auto again = bench::Steady::now();
        engine->play(noteOn(kMiddleC + 2));
        const auto played = bench::Steady::now();
        engine->render(left.data(), right.data(), static_cast<int>(left.size()));
        costs.change[program].push_back(bench::microsecondsBetween(start, changed) / 1000.0);
        costs.secondNote[program].push_back(bench::microsecondsBetween(again, played) / 1000.0);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 9;
    for (const bool dynamic : {true, false}) {
        Costs costs;
        for (int i = 0; i < runs; ++i)
            runOnce(dynamic, costs);
        const std::string mode = dynamic ? "dynamic" : "full";
        std::vector<double> all;
        for (const std::int16_t program : keymap::kFunctionKeyPrograms) {
            const auto& ms = costs.change[program];
            all.insert(all.end(), ms.begin(), ms.end());
            bench::report("program_change_" + mode + "_p" + std::to_string(program), bench::median(ms), "ms",
                          "play(program change)+play(note-on), median of " + std::to_string(runs)
                              + "; next note-on alone " + std::to_string(bench::median(costs.secondNote[program])) + " ms");
        }
        bench::report("program_change_" + mode + "_worst", bench::percentile(all, 100), "ms", "max over all programs and runs");
    }
    return 0;
}
