#include "AudioFile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace audio {

static_assert(std::endian::native == std::endian::little, "sample files are read in place as little-endian");

namespace {

constexpr float kInt16Scale = 1.0f / 32768.0f;

std::optional<std::vector<char>> slurp(const std::string& path, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open " + path;
        return std::nullopt;
    }
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

template <typename T>
T readLe(const char* p)
{
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

std::vector<float> toFloat(const char* data, std::size_t bytes, Encoding encoding)
{
    std::vector<float> out;
    if (encoding == Encoding::Float32) {
        out.resize(bytes / 4);
        std::memcpy(out.data(), data, out.size() * 4);
    } else {
        out.resize(bytes / 2);
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = readLe<std::int16_t>(data + 2 * i) * kInt16Scale;
    }
    return out;
}

bool fail(std::string* error, const std::string& why)
{
    if (error)
        *error = why;
    return false;
}

}  // namespace

std::size_t Audio::indexAt(double t) const
{
    const double i = std::floor(t * rate);
    if (i <= 0)
        return 0;
    return std::min(samples.size(), static_cast<std::size_t>(i));
}

Audio mixDown(const float* interleaved, std::size_t frames, int channels, double rate)
{
    Audio audio;
    audio.rate = rate;
    audio.samples.resize(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        float sum = 0.0f;
        for (int c = 0; c < channels; ++c)
            sum += interleaved[f * channels + c];
        audio.samples[f] = sum / static_cast<float>(channels);
    }
    return audio;
}

std::optional<Audio> readRaw(const std::string& path, const RawFormat& format, std::string* error)
{
    auto bytes = slurp(path, error);
    if (!bytes)
        return std::nullopt;
    const std::vector<float> interleaved = toFloat(bytes->data(), bytes->size(), format.encoding);
    return mixDown(interleaved.data(), interleaved.size() / format.channels, format.channels, format.rate);
}

std::optional<Audio> readWav(const std::string& path, std::string* error)
{
    auto bytes = slurp(path, error);
    if (!bytes)
        return std::nullopt;
    const std::vector<char>& b = *bytes;
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
        fail(error, path + " is not a WAV file");
        return std::nullopt;
    }
    int formatTag = 0, channels = 0, bits = 0;
    double rate = 0;
    for (std::size_t pos = 12; pos + 8 <= b.size();) {
        const char* chunk = b.data() + pos;
        const std::size_t size = readLe<std::uint32_t>(chunk + 4);
        const std::size_t body = std::min(size, b.size() - pos - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && body >= 16) {
            formatTag = readLe<std::uint16_t>(chunk + 8);
            channels = readLe<std::uint16_t>(chunk + 10);
            rate = readLe<std::uint32_t>(chunk + 12);
            bits = readLe<std::uint16_t>(chunk + 22);
            if (formatTag == 0xFFFE && body >= 26)  // WAVE_FORMAT_EXTENSIBLE: the sub-format says
                formatTag = readLe<std::uint16_t>(chunk + 32);
        } else if (std::memcmp(chunk, "data", 4) == 0 && channels > 0) {
            Encoding encoding;
            if (formatTag == 1 && bits == 16)
                encoding = Encoding::Int16;
            else if (formatTag == 3 && bits == 32)
                encoding = Encoding::Float32;
            else {
                fail(error, path + ": only 16-bit PCM and 32-bit float WAV are read");
                return std::nullopt;
            }
            const std::vector<float> interleaved = toFloat(chunk + 8, body, encoding);
            return mixDown(interleaved.data(), interleaved.size() / channels, channels, rate);
        }
        pos += 8 + size + (size & 1);
    }
    fail(error, path + ": no audio data");
    return std::nullopt;
}

std::optional<Audio> readAudio(const std::string& path, const RawFormat& rawFormat, std::string* error)
{
    std::array<char, 4> magic{};
    std::ifstream in(path, std::ios::binary);
    if (in.read(magic.data(), magic.size()) && std::memcmp(magic.data(), "RIFF", 4) == 0)
        return readWav(path, error);
    return readRaw(path, rawFormat, error);
}

bool writeWav(const std::string& path, const Audio& audio, std::string* error)
{
    std::ofstream out(path, std::ios::binary);
    if (!out)
        return fail(error, "cannot write " + path);
    const auto dataBytes = static_cast<std::uint32_t>(audio.samples.size() * 2);
    const auto rate = static_cast<std::uint32_t>(audio.rate);
    auto put32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    put32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(1);  // PCM
    put16(1);  // mono
    put32(rate);
    put32(rate * 2);
    put16(2);
    put16(16);
    out.write("data", 4);
    put32(dataBytes);
    for (float s : audio.samples)
        put16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f))));
    return out.good() || fail(error, "cannot write " + path);
}

}  // namespace audio
