#pragma once
// Real-time scheduling for the thread that renders audio, so that a busy
// machine does not make it late: SCHED_FIFO where the process may set it
// itself, RealtimeKit over D-Bus where a normal user may ask for it, and
// nothing, silently, where neither is allowed (the sound still plays, it may
// only drop out under load).

namespace audio {

// Low: real-time threads of the sound server itself should come first.
inline constexpr int kAudioThreadPriority = 20;

// Makes the calling thread real-time; false when the system did not allow it.
bool makeThisThreadRealtime(int priority = kAudioThreadPriority);

}  // namespace audio
