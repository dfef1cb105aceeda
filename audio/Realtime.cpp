#include "Realtime.h"

#include "RealtimeKit.h"

#if defined(__linux__)

#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <system_error>
#include <thread>

namespace audio {

namespace {

bool setFifo(pid_t tid, int priority)
{
    sched_param param{};
    param.sched_priority = priority;
    // Reset on fork: a child process must not inherit real-time scheduling.
    return sched_setscheduler(tid, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}

// Nothing waits on the bus even for a moment. The request outlives nothing it
// needs.
void askInBackground(pid_t tid, int priority)
{
    try {
        std::thread([tid, priority] {
            pthread_setname_np(pthread_self(), "plinkora-rtkit");
            (void)askRealtimeKit(tid, priority);
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the audio plays as an ordinary thread.
    }
}

}  // namespace

ThreadId currentThreadId() { return static_cast<ThreadId>(syscall(SYS_gettid)); }

void makeRealtime(ThreadId thread, int priority)
{
    const auto tid = static_cast<pid_t>(thread);
    if (!setFifo(tid, priority))
        askInBackground(tid, priority);
}

}  // namespace audio

#else

namespace audio {
ThreadId currentThreadId() { return 0; }
void makeRealtime(ThreadId, int) {}
}  // namespace audio

#endif
