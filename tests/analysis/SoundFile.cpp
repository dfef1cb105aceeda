#include "SoundFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace analysis {

namespace {

struct CloseFile {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using File = std::unique_ptr<SNDFILE, CloseFile>;

bool fail(std::string* error, const std::string& why)
{
    if (error)
        *error = why;
    return false;
}

File openRaw(const std::string& path, const RawFormat& format, SF_INFO& info)
{
    info = {};
    info.samplerate = static_cast<int>(format.rate);
    info.channels = format.channels;
    info.format = SF_FORMAT_RAW | SF_ENDIAN_LITTLE
        | (format.encoding == Encoding::Float32 ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
    return File(sf_open(path.c_str(), SFM_READ, &info));
}

}  // namespace

std::size_t Audio::indexAt(double t) const
{
    const double i = std::floor(t * rate);
    if (i <= 0)
        return 0;
    return std::min(samples.size(), static_cast<std::size_t>(i));
}

std::optional<Audio> readAudio(const std::string& path, const RawFormat& rawFormat, std::string* error)
{
    SF_INFO info{};
    File file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file && sf_error(nullptr) == SF_ERR_UNRECOGNISED_FORMAT)
        file = openRaw(path, rawFormat, info);
    if (!file) {
        fail(error, path + ": " + sf_strerror(nullptr));
        return std::nullopt;
    }
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t frames = sf_readf_float(file.get(), interleaved.data(), info.frames);
    Audio audio;
    audio.rate = info.samplerate;
    audio.samples.resize(static_cast<std::size_t>(std::max<sf_count_t>(frames, 0)));
    for (std::size_t f = 0; f < audio.samples.size(); ++f) {
        float sum = 0.0f;
        for (int c = 0; c < info.channels; ++c)
            sum += interleaved[f * static_cast<std::size_t>(info.channels) + static_cast<std::size_t>(c)];
        audio.samples[f] = sum / static_cast<float>(info.channels);
    }
    return audio;
}

bool writeWav(const std::string& path, const Audio& audio, std::string* error)
{
    SF_INFO info{};
    info.samplerate = static_cast<int>(audio.rate);
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    File file(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!file)
        return fail(error, "cannot write " + path + ": " + sf_strerror(nullptr));
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const auto frames = static_cast<sf_count_t>(audio.samples.size());
    return sf_writef_float(file.get(), audio.samples.data(), frames) == frames || fail(error, "cannot write " + path);
}

}  // namespace analysis
