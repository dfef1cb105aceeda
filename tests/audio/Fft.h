#pragma once
// In-place iterative radix-2 FFT (forward, unnormalised).

#include <complex>
#include <vector>

namespace audio {

constexpr bool isPowerOfTwo(std::size_t n) { return n != 0 && (n & (n - 1)) == 0; }

// data.size() must be a power of two.
void fft(std::vector<std::complex<double>>& data);

}  // namespace audio
