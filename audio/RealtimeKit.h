#pragma once
// RealtimeKit, the system service through which a normal user's process may
// make a thread real-time (a desktop session's polkit rules allow it).

#include <sys/types.h>

#include <chrono>

namespace audio {

// A grant after this long comes too late to matter, and a bus or service that
// has not answered by then may never answer.
inline constexpr std::chrono::milliseconds kRealtimeKitLimit{500};

// Asks RealtimeKit on the system bus to make thread `thread` of this process
// real-time at `priority`, or at the service's maximum if that is lower. Takes
// at most `limit` on the bus (a late answer is not waited for); true when
// granted.
bool askRealtimeKit(pid_t thread, int priority, std::chrono::milliseconds limit = kRealtimeKitLimit);

}  // namespace audio
