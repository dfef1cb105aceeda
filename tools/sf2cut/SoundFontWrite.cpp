#include "SoundFont.h"

#include "Bytes.h"

#include <initializer_list>
#include <limits>

namespace sf2 {

namespace {

using bytes::put16;
using bytes::put32;
using Out = std::vector<std::uint8_t>;

void putId(Out& out, const char* id) { out.insert(out.end(), id, id + 4); }
void putBytes(Out& out, Bytes b) { out.insert(out.end(), b.begin(), b.end()); }
void putName(Out& out, const Name& name) { out.insert(out.end(), name.begin(), name.end()); }

// Opens a chunk; its size is filled in when it is closed.
std::size_t open(Out& out, const char* id)
{
    putId(out, id);
    put32(out, 0);
    return out.size();
}

void close(Out& out, std::size_t body)
{
    const std::size_t size = out.size() - body;
    if (size > std::numeric_limits<std::uint32_t>::max())
        throw FormatError("more than 4 GiB in one chunk");
    for (int i = 0; i < 4; ++i)
        out[body - 4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
    if (size % 2 != 0)
        out.push_back(0);
}

std::size_t openList(Out& out, const char* type)
{
    const std::size_t body = open(out, "LIST");
    putId(out, type);
    return body;
}

void put(Out& out, const PresetHeader& p)
{
    putName(out, p.name);
    put16(out, p.program);
    put16(out, p.bank);
    put16(out, p.bagIndex);
    put32(out, p.library);
    put32(out, p.genre);
    put32(out, p.morphology);
}
void put(Out& out, const Bag& b)
{
    put16(out, b.generatorIndex);
    put16(out, b.modulatorIndex);
}
void put(Out& out, const Modulator& m) { out.insert(out.end(), m.begin(), m.end()); }
void put(Out& out, const Generator& g)
{
    put16(out, g.operation);
    put16(out, g.amount);
}
void put(Out& out, const InstrumentHeader& i)
{
    putName(out, i.name);
    put16(out, i.bagIndex);
}
void put(Out& out, const SampleHeader& s)
{
    putName(out, s.name);
    for (std::uint32_t v : {s.start, s.end, s.loopStart, s.loopEnd, s.sampleRate})
        put32(out, v);
    out.push_back(s.originalPitch);
    out.push_back(static_cast<std::uint8_t>(s.pitchCorrection));
    put16(out, s.link);
    put16(out, s.type);
}

template <typename Record>
void putTable(Out& out, const char* id, const std::vector<Record>& records)
{
    const std::size_t body = open(out, id);
    for (const Record& r : records)
        put(out, r);
    close(out, body);
}

}  // namespace

std::vector<std::uint8_t> write(const SoundFont& sf)
{
    Out out;
    out.reserve(sf.info.size() + sf.samples.size() + sf.samples24.size() + 4096);
    const std::size_t riff = open(out, "RIFF");
    putId(out, "sfbk");

    const std::size_t info = openList(out, "INFO");
    putBytes(out, sf.info);
    close(out, info);

    const std::size_t sdta = openList(out, "sdta");
    const std::size_t smpl = open(out, "smpl");
    putBytes(out, sf.samples);
    close(out, smpl);
    if (!sf.samples24.empty()) {
        const std::size_t sm24 = open(out, "sm24");
        putBytes(out, sf.samples24);
        close(out, sm24);
    }
    close(out, sdta);

    const Hydra& h = sf.hydra;
    const std::size_t pdta = openList(out, "pdta");
    putTable(out, "phdr", h.presets);
    putTable(out, "pbag", h.presetBags);
    putTable(out, "pmod", h.presetModulators);
    putTable(out, "pgen", h.presetGenerators);
    putTable(out, "inst", h.instruments);
    putTable(out, "ibag", h.instrumentBags);
    putTable(out, "imod", h.instrumentModulators);
    putTable(out, "igen", h.instrumentGenerators);
    putTable(out, "shdr", h.samples);
    close(out, pdta);

    close(out, riff);
    return out;
}

}  // namespace sf2
