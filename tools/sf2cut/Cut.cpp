#include "Cut.h"

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <string>

namespace sf2 {

namespace {

// Points after each sample that a synthesizer may read while interpolating
// (zero in a well-made file): they travel with the sample.
constexpr std::uint64_t kGuardPoints = 46;

// The records of a table that stay, in their old order, and their new numbers.
class Kept {
public:
    explicit Kept(std::size_t count) : newIndex_(count, kDropped) {}
    void keep(std::size_t old) { newIndex_[old] = 0; }
    bool has(std::size_t old) const { return newIndex_[old] != kDropped; }
    // Numbers the kept records; call once, after the last keep().
    void number()
    {
        for (std::size_t old = 0; old < newIndex_.size(); ++old)
            if (has(old)) {
                newIndex_[old] = static_cast<std::uint16_t>(old_.size());
                old_.push_back(old);
            }
    }
    const std::vector<std::size_t>& old() const { return old_; }
    std::uint16_t newIndex(std::size_t old) const { return newIndex_[old]; }

private:
    static constexpr std::uint16_t kDropped = std::numeric_limits<std::uint16_t>::max();
    std::vector<std::uint16_t> newIndex_;
    std::vector<std::size_t> old_;
};

// Marks what the generators `reference` of the headers' zones name.
template <typename Header>
void markReferenced(const std::vector<Header>& headers, const Kept& keptHeaders, const std::vector<Bag>& bags,
                    const std::vector<Generator>& generators, std::uint16_t reference, Kept& referenced)
{
    for (std::size_t h : keptHeaders.old())
        for (std::size_t b = headers[h].bagIndex; b < headers[h + 1].bagIndex; ++b)
            for (std::size_t g = bags[b].generatorIndex; g < bags[b + 1].generatorIndex; ++g)
                if (generators[g].operation == reference)
                    referenced.keep(generators[g].amount);
}

template <typename Header>
struct Level {
    std::vector<Header> headers;
    std::vector<Bag> bags;
    std::vector<Generator> generators;
    std::vector<Modulator> modulators;
};

std::uint16_t index16(std::size_t n) { return static_cast<std::uint16_t>(n); }

// The kept headers with their zones as they were, the references renumbered,
// each table closed with its terminal record.
template <typename Header>
Level<Header> keepZones(const Level<Header>& from, const Kept& kept, std::uint16_t reference, const Kept& referenced)
{
    Level<Header> to;
    for (std::size_t h : kept.old()) {
        Header header = from.headers[h];
        header.bagIndex = index16(to.bags.size());
        to.headers.push_back(header);
        for (std::size_t b = from.headers[h].bagIndex; b < from.headers[h + 1].bagIndex; ++b) {
            to.bags.push_back({index16(to.generators.size()), index16(to.modulators.size())});
            for (std::size_t g = from.bags[b].generatorIndex; g < from.bags[b + 1].generatorIndex; ++g) {
                Generator generator = from.generators[g];
                if (generator.operation == reference)
                    generator.amount = referenced.newIndex(generator.amount);
                to.generators.push_back(generator);
            }
            to.modulators.insert(to.modulators.end(), from.modulators.begin() + from.bags[b].modulatorIndex,
                                 from.modulators.begin() + from.bags[b + 1].modulatorIndex);
        }
    }
    Header terminal = from.headers.back();
    terminal.bagIndex = index16(to.bags.size());
    to.headers.push_back(terminal);
    to.bags.push_back({index16(to.generators.size()), index16(to.modulators.size())});
    to.generators.push_back({});
    to.modulators.push_back({});
    return to;
}

// A stretch of the source's sample data that the cut file carries, and
// where it lands there. Overlapping samples share their stretch, so the
// data is never larger than the source's.
struct Stretch {
    std::uint64_t from = 0;
    std::uint64_t to = 0;
    std::uint64_t newFrom = 0;
};

std::vector<Stretch> stretchesOf(const std::vector<SampleHeader>& samples, const Kept& kept)
{
    std::vector<Stretch> wanted;
    for (std::size_t s : kept.old())
        if (!samples[s].inRom())
            wanted.push_back({samples[s].start, samples[s].end + kGuardPoints, 0});
    std::sort(wanted.begin(), wanted.end(), [](const Stretch& a, const Stretch& b) { return a.from < b.from; });
    std::vector<Stretch> merged;
    for (const Stretch& w : wanted) {
        if (!merged.empty() && w.from <= merged.back().to)
            merged.back().to = std::max(merged.back().to, w.to);
        else
            merged.push_back(w);
    }
    std::uint64_t at = 0;
    for (Stretch& m : merged) {
        m.newFrom = at;
        at += m.to - m.from;
    }
    return merged;
}

// Copies points [from, to) of `source` (`width` bytes each), zeros past its end.
void copyPoints(Bytes source, std::size_t width, const Stretch& s, std::vector<std::uint8_t>& out)
{
    const std::uint64_t available = source.size() / width;
    const std::uint64_t end = std::min(s.to, std::max(s.from, available));
    out.insert(out.end(), source.begin() + static_cast<std::ptrdiff_t>(s.from * width),
               source.begin() + static_cast<std::ptrdiff_t>(end * width));
    out.resize(out.size() + (s.to - end) * width, 0);
}

std::uint32_t moved(std::uint32_t point, const Stretch& s, std::size_t sample)
{
    const auto at = static_cast<std::int64_t>(point) - static_cast<std::int64_t>(s.from)
                  + static_cast<std::int64_t>(s.newFrom);
    if (at < 0 || at > std::numeric_limits<std::uint32_t>::max())
        throw FormatError("sample " + std::to_string(sample) + ": point " + std::to_string(point)
                          + " cannot be moved with its data");
    return static_cast<std::uint32_t>(at);
}

// The kept samples' headers, pointing into their data in the cut file.
std::vector<SampleHeader> moveSamples(const SoundFont& source, const Kept& kept, CutSoundFont& cut)
{
    const std::vector<SampleHeader>& samples = source.hydra.samples;
    const std::vector<Stretch> stretches = stretchesOf(samples, kept);
    for (const Stretch& s : stretches) {
        copyPoints(source.samples, 2, s, cut.samples);
        if (!source.samples24.empty())
            copyPoints(source.samples24, 1, s, cut.samples24);
    }
    std::vector<SampleHeader> moved_;
    for (std::size_t old : kept.old()) {
        SampleHeader header = samples[old];
        if (header.linked())
            header.link = kept.newIndex(header.link);
        if (!header.inRom()) {
            const Stretch& s = *std::prev(std::upper_bound(stretches.begin(), stretches.end(), header.start,
                                                           [](std::uint64_t p, const Stretch& t) { return p < t.from; }));
            for (std::uint32_t* point : {&header.start, &header.end, &header.loopStart, &header.loopEnd})
                *point = moved(*point, s, old);
        }
        moved_.push_back(header);
    }
    moved_.push_back(samples.back());
    return moved_;
}

// Stereo pairs and linked chains stay whole.
void keepPartners(const std::vector<SampleHeader>& headers, Kept& samples)
{
    for (bool grown = true; grown;) {
        grown = false;
        for (std::size_t s = 0; s + 1 < headers.size(); ++s)
            if (samples.has(s) && headers[s].linked() && !samples.has(headers[s].link)) {
                samples.keep(headers[s].link);
                grown = true;
            }
    }
}

Kept keptPresets(const std::vector<PresetHeader>& presets, std::span<const int> programs)
{
    Kept kept(presets.size());
    for (int program : programs) {
        bool found = false;
        for (std::size_t p = 0; p + 1 < presets.size(); ++p)
            if (presets[p].bank == 0 && presets[p].program == program) {
                kept.keep(p);
                found = true;
            }
        if (!found)
            throw FormatError("no preset for program " + std::to_string(program) + " in bank 0");
    }
    kept.number();
    return kept;
}

}  // namespace

CutSoundFont cut(const SoundFont& source, std::span<const int> programs)
{
    const Hydra& h = source.hydra;
    const Kept presets = keptPresets(h.presets, programs);
    Kept instruments(h.instruments.size());
    markReferenced(h.presets, presets, h.presetBags, h.presetGenerators, kInstrumentGenerator, instruments);
    instruments.number();
    Kept samples(h.samples.size());
    markReferenced(h.instruments, instruments, h.instrumentBags, h.instrumentGenerators, kSampleGenerator, samples);
    keepPartners(h.samples, samples);
    samples.number();

    const auto presetLevel = keepZones(Level<PresetHeader>{h.presets, h.presetBags, h.presetGenerators, h.presetModulators},
                                       presets, kInstrumentGenerator, instruments);
    const auto instrumentLevel = keepZones(
        Level<InstrumentHeader>{h.instruments, h.instrumentBags, h.instrumentGenerators, h.instrumentModulators},
        instruments, kSampleGenerator, samples);

    CutSoundFont out;
    Hydra& to = out.soundFont.hydra;
    to.presets = presetLevel.headers;
    to.presetBags = presetLevel.bags;
    to.presetGenerators = presetLevel.generators;
    to.presetModulators = presetLevel.modulators;
    to.instruments = instrumentLevel.headers;
    to.instrumentBags = instrumentLevel.bags;
    to.instrumentGenerators = instrumentLevel.generators;
    to.instrumentModulators = instrumentLevel.modulators;
    to.samples = moveSamples(source, samples, out);
    out.soundFont.info = source.info;
    out.soundFont.samples = out.samples;
    out.soundFont.samples24 = out.samples24;
    return out;
}

}  // namespace sf2
