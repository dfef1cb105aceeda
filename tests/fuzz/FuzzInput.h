#pragma once
// What a fuzz target needs besides its entry point: reading typed values off
// the fuzzer's bytes, and stopping hard when an invariant breaks, so that
// libFuzzer keeps the input and the random driver names its seed.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace fuzz {

// Reads values from the front of the input; past its end every value is 0.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    template <typename T>
    T take()
    {
        static_assert(std::is_trivially_copyable_v<T>);
        T value{};
        const std::size_t n = size_ < sizeof(T) ? size_ : sizeof(T);
        std::memcpy(&value, data_, n);
        data_ += n;
        size_ -= n;
        return value;
    }
    bool takeBool() { return (take<std::uint8_t>() & 1) != 0; }
    bool empty() const { return size_ == 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

[[noreturn]] inline void fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "fuzz invariant broken at %s:%d: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

}  // namespace fuzz

#define FUZZ_CHECK(condition)                                  \
    do {                                                       \
        if (!(condition))                                      \
            ::fuzz::fail(#condition, __FILE__, __LINE__);      \
    } while (false)

// Every target defines these two, as libFuzzer expects.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
