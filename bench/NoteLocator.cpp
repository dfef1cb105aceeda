#include "NoteLocator.h"

#include "FluidSynthOutput.h"
#include "SynthEngine.h"

#include <algorithm>
#include <cmath>

namespace bench {

namespace {

constexpr double kTemplateSeconds = 0.02;
// Below this the best place only looks a little like the note: not found.
constexpr double kMinimumScore = 0.5;
constexpr double kNearBest = 0.9;
constexpr int kQuietFrames = 48000;  // rendered between notes so each starts alone

double dot(const float* a, const float* b, std::size_t n)
{
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum += double(a[i]) * double(b[i]);
    return sum;
}

}  // namespace

NoteLocator::NoteLocator(double rate) : rate_(rate)
{
    midi::SynthConfig config = midi::FluidSynthOutput::defaultConfig();
    config.audioOutputs.clear();
    config.sampleRate = rate;
    engine_ = midi::SynthEngine::create(config, nullptr, nullptr);
}

NoteLocator::~NoteLocator() = default;

const std::vector<float>& NoteLocator::templateOf(int note)
{
    auto it = templates_.find(note);
    if (it != templates_.end())
        return it->second;
    // Let whatever sounded before die away (all notes off, then silence).
    engine_->play(0x7BB0);
    std::vector<float> left(kQuietFrames), right(kQuietFrames);
    engine_->render(left.data(), right.data(), kQuietFrames);
    const auto length = static_cast<int>(kTemplateSeconds * rate_);
    engine_->play(static_cast<std::uint32_t>(0x90 | note << 8 | 100 << 16));
    engine_->render(left.data(), right.data(), length);
    std::vector<float> mono(static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < mono.size(); ++i)
        mono[i] = (left[i] + right[i]) / 2;
    engine_->play(static_cast<std::uint32_t>(0x80 | note << 8));
    return templates_.emplace(note, std::move(mono)).first->second;
}

std::optional<NoteMatch> NoteLocator::locate(const std::vector<float>& mono, long earliest, long latest, int note)
{
    if (!engine_)
        return std::nullopt;
    const std::vector<float>& shape = templateOf(note);
    const std::size_t n = shape.size();
    const double shapeNorm = std::sqrt(dot(shape.data(), shape.data(), n));
    earliest = std::max(0L, earliest);
    latest = std::min(latest, static_cast<long>(mono.size()) - static_cast<long>(n));
    if (latest < earliest)
        return std::nullopt;
    std::vector<double> scores(static_cast<std::size_t>(latest - earliest + 1), 0.0);
    for (long s = earliest; s <= latest; ++s) {
        const float* here = mono.data() + s;
        const double norm = std::sqrt(dot(here, here, n));
        if (norm > 0)
            scores[static_cast<std::size_t>(s - earliest)] = dot(here, shape.data(), n) / (norm * shapeNorm);
    }
    // Later in the note, whole periods on, the old notes weigh less and the
    // match can be better still: the note starts at the first peak that comes
    // close to the best one.
    const double best = *std::max_element(scores.begin(), scores.end());
    if (best < kMinimumScore)
        return std::nullopt;
    std::size_t i = 0;
    while (scores[i] < best * kNearBest)
        ++i;
    while (i + 1 < scores.size() && scores[i + 1] > scores[i])
        ++i;
    return NoteMatch{earliest + static_cast<long>(i), scores[i]};
}

}  // namespace bench
