#include "ServerLoss.h"

namespace audio {

namespace {

// A signal handler may only touch atomics that need no lock.
static_assert(std::atomic<bool>::is_always_lock_free);

// Appends `text` at `at`, leaving room for the final zero; no library call,
// so that it is safe in a signal handler.
std::size_t append(char* to, std::size_t size, std::size_t at, const char* text) noexcept
{
    for (; text && *text && at + 1 < size; ++text)
        to[at++] = *text;
    to[at] = '\0';
    return at;
}

}  // namespace

void ServerLoss::note(const char* what, const char* detail) noexcept
{
    if (noting_.exchange(true, std::memory_order_relaxed))
        return;
    std::size_t at = append(why_, sizeof why_, 0, what);
    if (detail && *detail)
        append(why_, sizeof why_, append(why_, sizeof why_, at, ": "), detail);
    noted_.store(true, std::memory_order_release);
}

std::optional<std::string> ServerLoss::take()
{
    if (taken_ || !happened())
        return std::nullopt;
    taken_ = true;
    return std::string(why_);
}

}  // namespace audio
