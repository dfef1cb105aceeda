#pragma once
// How every PipeWire stream of ours connects: interleaved stereo float at
// the given rate, to the default node, buffers mapped, the process callback
// on the graph's real-time thread.

#include <pipewire/stream.h>
#include <spa/param/audio/format-utils.h>

#include <cstdint>

namespace audio {

// pw_stream_connect's result: 0 or a negative errno.
inline int connectStereoFloat(pw_stream* stream, pw_direction direction, std::uint32_t rate)
{
    // Field by field: the spa initialiser macros are C only.
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = rate;
    info.channels = 2;
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
    std::uint8_t buffer[1024];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, buffer, sizeof buffer);
    const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS
                                                    | PW_STREAM_FLAG_RT_PROCESS);
    return pw_stream_connect(stream, direction, PW_ID_ANY, flags, params, 1);
}

}  // namespace audio
