#pragma once
// Recorded or rendered audio, mixed down to one channel: pitch and onsets do
// not depend on the stereo image, and the synthesizer's voices are centred.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace audio {

struct Audio {
    double rate = 48000.0;
    std::vector<float> samples;

    double duration() const { return samples.empty() ? 0.0 : static_cast<double>(samples.size()) / rate; }
    // Sample index of time t, clamped to the buffer.
    std::size_t indexAt(double t) const;
};

enum class Encoding { Float32, Int16 };

// Headerless interleaved little-endian samples, as parec writes them.
struct RawFormat {
    Encoding encoding = Encoding::Float32;
    double rate = 48000.0;
    int channels = 2;
};

// Interleaved frames to mono.
Audio mixDown(const float* interleaved, std::size_t frames, int channels, double rate);

std::optional<Audio> readRaw(const std::string& path, const RawFormat& format, std::string* error = nullptr);
// RIFF/WAVE with 16-bit integer or 32-bit float samples.
std::optional<Audio> readWav(const std::string& path, std::string* error = nullptr);
// A WAV file by its header, anything else as raw samples of `rawFormat`.
std::optional<Audio> readAudio(const std::string& path, const RawFormat& rawFormat, std::string* error = nullptr);

// 16-bit WAV, for keeping a rendered test signal to listen to.
bool writeWav(const std::string& path, const Audio& audio, std::string* error = nullptr);

}  // namespace audio
