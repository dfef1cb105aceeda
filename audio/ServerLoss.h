#pragma once
// That a sound server has gone: noted on the server's own thread, reported by
// the thread that plays the next message. The server's thread may not lock,
// allocate or write anything (JACK's shutdown callback must even be
// async-signal-safe), so it only copies the reason into room set aside and
// raises a flag.

#include <atomic>
#include <optional>
#include <string>

namespace audio {

class ServerLoss {
public:
    // Any thread, the server's included: notes the loss, "what: detail" (the
    // detail may be null or empty). Only the first counts.
    void note(const char* what, const char* detail = nullptr) noexcept;
    bool happened() const noexcept { return noted_.load(std::memory_order_acquire); }
    // The thread that plays: the reason, the first time it asks after the
    // loss; nothing before it and after that.
    std::optional<std::string> take();

private:
    std::atomic<bool> noting_{false};
    std::atomic<bool> noted_{false};
    bool taken_ = false;  // the thread that plays only
    char why_[192] = {};
};

}  // namespace audio
