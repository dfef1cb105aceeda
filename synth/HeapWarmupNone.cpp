#include "HeapWarmup.h"

namespace synth {

// This C library's heap is not steered: pages are faulted in as they are used.
void warmHeap(std::size_t) {}

}  // namespace synth
