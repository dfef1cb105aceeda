// The one place that decides where the synthesizer's audio goes.

#include "AudioBackends.h"

#include <cstdlib>

namespace audio {

namespace {

std::unique_ptr<AudioOutput> openBackend(const std::string& name, AudioSource& source, const AudioOptions& options,
                                         std::string* why)
{
#if defined(PLINKORA_HAVE_PIPEWIRE)
    if (name == "pipewire")
        return openPipeWire(source, options, why);
#endif
#if defined(PLINKORA_HAVE_PULSEAUDIO)
    if (name == "pulseaudio")
        return openPulseAudio(source, options, why);
#endif
    return openFluidDriver(name, source, options, why);
}

}  // namespace

std::vector<std::string> defaultAudioOutputs()
{
    if (const char* chosen = std::getenv("PLINKORA_AUDIO"); chosen && *chosen)
        return {chosen};
#if defined(__APPLE__)
    return {"coreaudio"};
#elif defined(_WIN32)
    return {"wasapi", "dsound"};
#else
    // PipeWire first where its daemon runs (most desktops now), then
    // PulseAudio (or PipeWire through pipewire-pulse), then plain ALSA.
    return {"pipewire", "pulseaudio", "alsa"};
#endif
}

std::unique_ptr<AudioOutput> openAudioOutput(const std::vector<std::string>& names, AudioSource& source,
                                             const AudioOptions& options, std::string* why)
{
    std::string tried;
    for (const std::string& name : names) {
        std::string failure;
        if (auto output = openBackend(name, source, options, &failure))
            return output;
        tried += (tried.empty() ? "" : "; ") + name + ": " + failure;
    }
    if (why)
        *why = "no audio output (" + tried + ")";
    return nullptr;
}

}  // namespace audio
