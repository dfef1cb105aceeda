#include "HeapWarmup.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

// Linux 5.14; an older kernel refuses it and nothing is gained or lost.
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace synth {

namespace {

// Blocks of the sizes start-up asks for (samples of a few hundred kilobytes)
// come from the heap that is warmed, not from mappings of their own; and
// freeing the warm block must not hand it back to the kernel.
void keepBlocksInTheHeap()
{
    constexpr int kMmapThreshold = 32 << 20;  // glibc's largest
    constexpr int kTrimThreshold = 64 << 20;
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
        mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
    });
}

}  // namespace

void warmHeap(std::size_t bytes)
{
    keepBlocksInTheHeap();
    void* block = std::malloc(bytes);
    if (!block)
        return;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<std::uintptr_t>(block) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(page - 1);
    if (end > begin)
        (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
    std::free(block);
}

}  // namespace synth
