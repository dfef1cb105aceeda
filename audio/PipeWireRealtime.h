#pragma once
// The client configuration under which libpipewire gives a client's data
// thread real-time priority (where the system allows it). Before 1.3.81 that
// is client-rt.conf, client.conf has no real-time module; from then on
// client.conf loads it, and naming client-rt.conf only earns a deprecation
// warning on stderr at every connection. The library that runs decides, not
// the headers built against.

#include <pipewire/pipewire.h>

#include <cstdio>

namespace audio {

inline const char* realtimeClientConfig()
{
    // pw_check_library_version() is younger than Debian 12's libpipewire.
    int major = 0, minor = 0, micro = 0;
    std::sscanf(pw_get_library_version(), "%d.%d.%d", &major, &minor, &micro);
    const bool realtimeByDefault = major > 1 || (major == 1 && (minor > 3 || (minor == 3 && micro >= 81)));
    return realtimeByDefault ? "client.conf" : "client-rt.conf";
}

}  // namespace audio
