#pragma once
// Recorded or rendered audio, mixed down to one channel: pitch and onsets do
// not depend on the stereo image, and the synthesizer's voices are centred.
// Files are read and written with libsndfile.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace analysis {

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

// A file in any format libsndfile knows by its header (WAV, FLAC ...);
// anything else is read as raw samples of `rawFormat`.
std::optional<Audio> readAudio(const std::string& path, const RawFormat& rawFormat, std::string* error = nullptr);

// 16-bit WAV, for keeping a rendered test signal to listen to.
bool writeWav(const std::string& path, const Audio& audio, std::string* error = nullptr);

}  // namespace analysis
