#pragma once
// Real-time scheduling for the thread that renders audio, so that a busy
// machine does not make it late: SCHED_FIFO where the process may set it
// itself, RealtimeKit over D-Bus where a normal user may ask for it, and
// nothing, silently, where neither is allowed (the sound still plays, it may
// only drop out under load).

namespace audio {

// Below every real-time thread of the sound server: PulseAudio runs its own at
// 5 (daemon.conf's realtime-priority), PipeWire and pipewire-pulse at 20 under
// RealtimeKit (they ask 88, RealtimeKit's maximum caps them). The server mixes
// every client and feeds the device on a deadline, while this thread only
// fills its own stream ahead of it: waiting for the server costs it nothing,
// and delaying the server could cost every client an underrun. Any real-time
// level still puts the render ahead of all ordinary threads, which is what
// keeps it on time.
inline constexpr int kAudioThreadPriority = 4;

// A thread of this process as the kernel numbers it; 0 where there is none.
using ThreadId = long;
ThreadId currentThreadId();

// Makes `thread` real-time without ever waiting: at once where the process
// may do it itself, else by asking RealtimeKit from a thread of its own
// (RealtimeKit takes any thread of the calling process), whose answer nothing
// waits for. Called where the audio thread is set up, not from it: starting
// a thread is no work for the audio thread.
void makeRealtime(ThreadId thread, int priority = kAudioThreadPriority);

}  // namespace audio
