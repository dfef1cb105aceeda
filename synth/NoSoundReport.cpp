#include "NoSoundReport.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace synth {

namespace {
std::mutex sinkMutex;
std::function<void(const std::string&)> sink;
std::atomic<bool> reported{false};
}  // namespace

void reportNoSound(const std::string& why)
{
    std::lock_guard lock(sinkMutex);
    if (sink) {
        sink(why);
        return;
    }
    if (reported.exchange(true))
        return;
    std::fprintf(stderr, "plinkora: no sound: %s\n", why.c_str());
    std::fflush(stderr);
}

void setNoSoundSink(std::function<void(const std::string&)> newSink)
{
    std::lock_guard lock(sinkMutex);
    sink = std::move(newSink);
}

}  // namespace synth
