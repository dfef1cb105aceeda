// bench-onset-check: how well bench-analyze's note locator finds where a note
// starts, on audio whose note starts are known exactly: the offline engine
// struck on a 64-frame block boundary, the earlier notes still sounding, in
// the rhythm of the end-to-end run.
//   bench-onset-check [NOTES]

#include "NoteLocator.h"
#include "Stats.h"

#include "FluidSynthOutput.h"
#include "SynthEngine.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 48000;
constexpr long kBlock = 64;
constexpr long kSpacing = 38400 / kBlock * kBlock;  // 0.8 s
constexpr long kMaxLead = 1200;                     // the press comes up to 25 ms before the sound
constexpr long kSearchBefore = 96;
constexpr long kSearchAfter = 9600;
constexpr int kNotes[] = {48, 50, 52, 53, 55, 57, 59, 60, 62, 64, 65, 67, 69, 71, 72, 74, 76, 77, 79, 81};

}  // namespace

int main(int argc, char** argv)
{
    const int notes = argc > 1 ? std::atoi(argv[1]) : 40;
    midi::SynthConfig config = midi::FluidSynthOutput::defaultConfig();
    config.audioOutputs.clear();
    std::string why;
    auto engine = midi::SynthEngine::create(config, &why, nullptr);
    if (!engine) {
        std::fprintf(stderr, "bench-onset-check: %s\n", why.c_str());
        return 1;
    }
    bench::NoteLocator locator(kRate);
    std::vector<float> left(static_cast<std::size_t>(kSpacing * (notes + 1))), right(left.size());
    std::vector<std::pair<long, int>> starts;
    for (int i = 0; i <= notes; ++i) {
        const long at = i * kSpacing;
        if (i > 0) {
            const int note = kNotes[static_cast<std::size_t>(i) % std::size(kNotes)];
            engine->play(static_cast<std::uint32_t>(0x90 | note << 8 | 100 << 16));
            starts.emplace_back(at, note);
        }
        engine->render(left.data() + at, right.data() + at, static_cast<int>(kSpacing));
    }
    std::vector<float> mono(left.size());
    for (std::size_t i = 0; i < mono.size(); ++i)
        mono[i] = (left[i] + right[i]) / 2;

    std::mt19937 random(1);
    std::uniform_int_distribution<long> lead(kBlock, kMaxLead);
    std::vector<double> lateMs, scores;
    int missed = 0;
    for (const auto& [start, note] : starts) {
        const long press = start - lead(random);
        const auto found = locator.locate(mono, press - kSearchBefore, press + kSearchAfter, note);
        if (!found) {
            ++missed;
            continue;
        }
        lateMs.push_back(static_cast<double>(found->start - start) / kRate * 1000);
        scores.push_back(found->score);
    }
    const std::string detail = "offline piano, n=" + std::to_string(lateMs.size()) + ", missed " + std::to_string(missed)
        + ", min " + std::to_string(bench::percentile(lateMs, 0)) + " ms, lowest score "
        + std::to_string(bench::percentile(scores, 0));
    bench::report("note_locator_error_median", bench::median(lateMs), "ms", detail);
    bench::report("note_locator_error_max", bench::percentile(lateMs, 100), "ms", detail);
    return missed == 0 ? 0 : 1;
}
