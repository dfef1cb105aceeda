#pragma once
// Start-up fills megabytes of fresh heap: the synthesizer's voices and the
// piano's samples on the thread that opens it, the window's widgets and
// pictures on the one that builds it. Taken page by page, each first touch is
// a page fault, which on a virtual machine costs tens of microseconds (about
// 20 us a page here, 40 ms for the synthesizer alone); asked for at once,
// the kernel fills them in a few milliseconds.

#include <cstddef>

namespace synth {

// Faults in `bytes` of the calling thread's heap in one request and leaves
// them there for the allocations that follow. Where the C library or the
// kernel cannot, it does nothing.
void warmHeap(std::size_t bytes);

}  // namespace synth
