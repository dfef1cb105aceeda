#include "SoundFont.h"

#include "Bytes.h"

#include <algorithm>
#include <map>

namespace sf2 {

namespace {

struct Chunk {
    std::string id;
    Bytes body;
};

std::string idAt(Bytes bytes, std::size_t at)
{
    std::string id(reinterpret_cast<const char*>(bytes.data() + at), 4);
    // Damaged ids end up in messages: keep them printable.
    for (char& c : id)
        if (c < 0x20 || c > 0x7E)
            c = '?';
    return id;
}

// The chunks that fill `body`, each checked to lie within it.
std::vector<Chunk> chunksIn(Bytes body, const std::string& where)
{
    std::vector<Chunk> chunks;
    std::size_t at = 0;
    while (at < body.size()) {
        if (body.size() - at < 8)
            throw FormatError(where + ": cut short inside a chunk header");
        const std::string id = idAt(body, at);
        const std::uint32_t size = bytes::u32(body, at + 4);
        if (size > body.size() - at - 8)
            throw FormatError(where + ": chunk '" + id + "' says " + std::to_string(size) + " bytes, only "
                              + std::to_string(body.size() - at - 8) + " follow");
        chunks.push_back({id, body.subspan(at + 8, size)});
        at += 8 + std::size_t{size} + (size & 1u);  // chunks start on even offsets
    }
    return chunks;
}

// The chunks of `body` by id, each at most once.
std::map<std::string, Bytes> uniqueChunks(const std::vector<Chunk>& chunks, const std::string& where)
{
    std::map<std::string, Bytes> byId;
    for (const Chunk& chunk : chunks)
        if (!byId.emplace(chunk.id, chunk.body).second)
            throw FormatError(where + ": two '" + chunk.id + "' chunks");
    return byId;
}

Bytes required(const std::map<std::string, Bytes>& chunks, const std::string& id, const std::string& where)
{
    const auto it = chunks.find(id);
    if (it == chunks.end())
        throw FormatError(where + ": no '" + id + "' chunk");
    return it->second;
}

// The LIST chunks of the RIFF body by their list type.
std::map<std::string, Bytes> lists(Bytes riffBody)
{
    std::vector<Chunk> found;
    for (const Chunk& chunk : chunksIn(riffBody, "RIFF sfbk")) {
        if (chunk.id != "LIST")
            continue;  // not part of a SoundFont; dropped
        if (chunk.body.size() < 4)
            throw FormatError("RIFF sfbk: a LIST chunk without a list type");
        found.push_back({idAt(chunk.body, 0), chunk.body.subspan(4)});
    }
    return uniqueChunks(found, "RIFF sfbk");
}

Name nameAt(Bytes r, std::size_t at)
{
    Name name{};
    std::copy_n(reinterpret_cast<const char*>(r.data() + at), name.size(), name.begin());
    return name;
}

PresetHeader presetHeader(Bytes r)
{
    return {nameAt(r, 0), bytes::u16(r, 20), bytes::u16(r, 22), bytes::u16(r, 24),
            bytes::u32(r, 26), bytes::u32(r, 30), bytes::u32(r, 34)};
}
Bag bag(Bytes r) { return {bytes::u16(r, 0), bytes::u16(r, 2)}; }
Modulator modulator(Bytes r)
{
    Modulator m{};
    std::copy_n(r.begin(), m.size(), m.begin());
    return m;
}
Generator generator(Bytes r) { return {bytes::u16(r, 0), bytes::u16(r, 2)}; }
InstrumentHeader instrumentHeader(Bytes r) { return {nameAt(r, 0), bytes::u16(r, 20)}; }
SampleHeader sampleHeader(Bytes r)
{
    return {nameAt(r, 0), bytes::u32(r, 20), bytes::u32(r, 24), bytes::u32(r, 28), bytes::u32(r, 32),
            bytes::u32(r, 36), r[40], static_cast<std::int8_t>(r[41]), bytes::u16(r, 42), bytes::u16(r, 44)};
}

// One table of fixed-size records, terminal record included.
template <typename Record>
std::vector<Record> table(const std::map<std::string, Bytes>& chunks, const std::string& id, std::size_t recordSize,
                          Record (*decode)(Bytes))
{
    const Bytes body = required(chunks, id, "LIST pdta");
    if (body.empty() || body.size() % recordSize != 0)
        throw FormatError("'" + id + "': " + std::to_string(body.size()) + " bytes is not a whole number of "
                          + std::to_string(recordSize) + "-byte records");
    std::vector<Record> records;
    for (std::size_t at = 0; at < body.size(); at += recordSize)
        records.push_back(decode(body.subspan(at, recordSize)));
    return records;
}

void fail(const std::string& table, std::size_t index, const std::string& what)
{
    throw FormatError("'" + table + "' record " + std::to_string(index) + ": " + what);
}

// Headers own consecutive runs of bags; the terminal header ends the last run.
template <typename Header>
void checkHeaders(const std::vector<Header>& headers, std::size_t bagCount, const std::string& id)
{
    for (std::size_t i = 0; i + 1 < headers.size(); ++i)
        if (headers[i].bagIndex > headers[i + 1].bagIndex)
            fail(id, i + 1, "bag index goes back");
    if (headers.back().bagIndex >= bagCount)
        fail(id, headers.size() - 1, "bag index past the bags");
}

// Bags own consecutive runs of generators and of modulators.
void checkBags(const std::vector<Bag>& bags, std::size_t generatorCount, std::size_t modulatorCount,
               const std::string& id)
{
    for (std::size_t i = 0; i + 1 < bags.size(); ++i)
        if (bags[i].generatorIndex > bags[i + 1].generatorIndex || bags[i].modulatorIndex > bags[i + 1].modulatorIndex)
            fail(id, i + 1, "generator or modulator index goes back");
    if (bags.back().generatorIndex >= generatorCount || bags.back().modulatorIndex >= modulatorCount)
        fail(id, bags.size() - 1, "generator or modulator index past its table");
}

// A generator that names a record of another table names an existing one.
void checkReferences(const std::vector<Generator>& generators, std::uint16_t operation, std::size_t count,
                     const std::string& id)
{
    for (std::size_t i = 0; i + 1 < generators.size(); ++i)
        if (generators[i].operation == operation && generators[i].amount >= count)
            fail(id, i, "names record " + std::to_string(generators[i].amount) + " of "
                            + std::to_string(count));
}

void checkSamples(const std::vector<SampleHeader>& samples, std::size_t points)
{
    const std::size_t count = samples.size() - 1;
    for (std::size_t i = 0; i < count; ++i) {
        const SampleHeader& s = samples[i];
        if (!s.inRom() && (s.start > s.end || s.end > points))
            fail("shdr", i, "sample data " + std::to_string(s.start) + "-" + std::to_string(s.end)
                                + " outside the " + std::to_string(points) + " points");
        if (s.linked() && s.link >= count)
            fail("shdr", i, "linked to sample " + std::to_string(s.link) + " of " + std::to_string(count));
    }
}

Hydra readHydra(Bytes pdta, std::size_t points)
{
    const auto chunks = uniqueChunks(chunksIn(pdta, "LIST pdta"), "LIST pdta");
    Hydra h;
    h.presets = table(chunks, "phdr", 38, presetHeader);
    h.presetBags = table(chunks, "pbag", 4, bag);
    h.presetModulators = table(chunks, "pmod", 10, modulator);
    h.presetGenerators = table(chunks, "pgen", 4, generator);
    h.instruments = table(chunks, "inst", 22, instrumentHeader);
    h.instrumentBags = table(chunks, "ibag", 4, bag);
    h.instrumentModulators = table(chunks, "imod", 10, modulator);
    h.instrumentGenerators = table(chunks, "igen", 4, generator);
    h.samples = table(chunks, "shdr", 46, sampleHeader);

    checkHeaders(h.presets, h.presetBags.size(), "phdr");
    checkBags(h.presetBags, h.presetGenerators.size(), h.presetModulators.size(), "pbag");
    checkReferences(h.presetGenerators, kInstrumentGenerator, h.instruments.size() - 1, "pgen");
    checkHeaders(h.instruments, h.instrumentBags.size(), "inst");
    checkBags(h.instrumentBags, h.instrumentGenerators.size(), h.instrumentModulators.size(), "ibag");
    checkReferences(h.instrumentGenerators, kSampleGenerator, h.samples.size() - 1, "igen");
    checkSamples(h.samples, points);
    return h;
}

}  // namespace

SoundFont read(Bytes file)
{
    if (file.size() < 12 || idAt(file, 0) != "RIFF" || idAt(file, 8) != "sfbk")
        throw FormatError("not a SoundFont 2 file (no RIFF sfbk header)");
    const std::uint32_t riffSize = bytes::u32(file, 4);
    if (riffSize < 4 || riffSize > file.size() - 8)
        throw FormatError("cut short: the RIFF chunk says " + std::to_string(riffSize) + " bytes, the file has "
                          + std::to_string(file.size() - 8));
    const auto found = lists(file.subspan(12, riffSize - 4));

    SoundFont sf;
    sf.info = required(found, "INFO", "RIFF sfbk");
    const auto sampleData = uniqueChunks(chunksIn(required(found, "sdta", "RIFF sfbk"), "LIST sdta"), "LIST sdta");
    sf.samples = required(sampleData, "smpl", "LIST sdta");
    if (sf.samples.size() % 2 != 0)
        throw FormatError("'smpl': an odd number of bytes");
    // Readers ignore a 24-bit chunk that does not match the 16-bit one.
    if (const auto low = sampleData.find("sm24"); low != sampleData.end() && low->second.size() == sf.samplePoints())
        sf.samples24 = low->second;
    sf.hydra = readHydra(required(found, "pdta", "RIFF sfbk"), sf.samplePoints());
    return sf;
}

}  // namespace sf2
