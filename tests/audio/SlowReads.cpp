#include "SlowReads.h"

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <thread>

namespace slowreads {

namespace {

// Long beyond any render call, short enough for a failing run to end soon.
constexpr auto kGiveUp = std::chrono::seconds(1);
constexpr long kRendersPerRead = 3;

std::atomic<bool> holding{false};
std::atomic<std::thread::id> reader;
std::atomic<long> renders{0};
std::atomic<long> heldReads{0};
std::atomic<long> stalledReads{0};

void wait()
{
    if (!holding || reader.load() != std::this_thread::get_id())
        return;
    heldReads.fetch_add(1);
    const long from = renders.load();
    const auto until = std::chrono::steady_clock::now() + kGiveUp;
    while (renders.load() < from + kRendersPerRead) {
        if (std::chrono::steady_clock::now() > until) {
            stalledReads.fetch_add(1);
            holding = false;  // one is enough to know
            return;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

}  // namespace

void holdOnThisThread()
{
    reader = std::this_thread::get_id();
    holding = true;
}

void release() { holding = false; }
void rendered() { renders.fetch_add(1); }
long held() { return heldReads.load(); }
long stalled() { return stalledReads.load(); }

}  // namespace slowreads

// In place of the C library's: the program's own definition comes first.
extern "C" std::size_t fread(void* buffer, std::size_t size, std::size_t count, FILE* file)
{
    using Fread = std::size_t (*)(void*, std::size_t, std::size_t, FILE*);
    static const auto real = reinterpret_cast<Fread>(dlsym(RTLD_NEXT, "fread"));
    slowreads::wait();
    return real(buffer, size, count, file);
}
