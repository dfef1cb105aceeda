#include "FluidLog.h"

#include <fluidsynth.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>

#if defined(__unix__) || defined(__APPLE__)
#include <dlfcn.h>
#endif

namespace audio::fluidlog {

namespace {

// This thread's captures, innermost first: a plain pointer, so that a thread
// that only logs (an audio thread) never allocates for it.
thread_local Capture* innermost = nullptr;

// The first uncaptured error, until the thread that plays takes it.
constexpr int kEmpty = 0;
constexpr int kWriting = 1;
constexpr int kFull = 2;
std::atomic<int> pendingState{kEmpty};
char pendingText[256];

void keep(const char* text)
{
    int expected = kEmpty;
    if (!pendingState.compare_exchange_strong(expected, kWriting, std::memory_order_acquire))
        return;  // one is waiting already
    std::snprintf(pendingText, sizeof pendingText, "%s", text);
    pendingState.store(kFull, std::memory_order_release);
}

void record(int level, const char* text)
{
    const bool isError = level <= FLUID_ERR;
    if (!Capture::collect(isError, text) && isError)
        keep(text);
}

void fluidLogFunction(int level, const char* message, void*)
{
    if (level <= FLUID_WARN && message != nullptr)
        record(level, message);
}

#if defined(__unix__)
// alsa-lib prints straight to stderr unless given a handler; FluidSynth loads
// it, so we find its setter at run time instead of linking it ourselves.
using AlsaErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
using AlsaSetHandler = int (*)(AlsaErrorHandler);

void alsaErrorHandler(const char*, int, const char*, int, const char* format, ...)
{
    char text[256];
    const auto prefix = static_cast<std::size_t>(std::snprintf(text, sizeof text, "ALSA: "));
    va_list args;
    va_start(args, format);
    std::vsnprintf(text + prefix, sizeof text - prefix, format, args);
    va_end(args);
    record(FLUID_ERR, text);
}

void routeAlsaErrors()
{
    if (void* setter = dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler"))
        reinterpret_cast<AlsaSetHandler>(setter)(&alsaErrorHandler);
}

// libinstpatch, which FluidSynth asks about files it cannot read itself,
// reports through GLib's log ("CRITICAL ... assertion failed") on stderr.
using GLogFunction = void (*)(const char* domain, int level, const char* message, void* data);
using GLogSetDefaultHandler = GLogFunction (*)(GLogFunction handler, void* data);
constexpr int kGLogLevelCritical = 1 << 3;
constexpr int kGLogLevelWarning = 1 << 4;

void glibLogHandler(const char* domain, int level, const char* message, void*)
{
    if ((level & (kGLogLevelCritical | kGLogLevelWarning)) == 0 || message == nullptr)
        return;
    char text[512];
    std::snprintf(text, sizeof text, "%s: %s", domain ? domain : "GLib", message);
    record(FLUID_WARN, text);
}

void routeGLibMessages()
{
    if (void* setter = dlsym(RTLD_DEFAULT, "g_log_set_default_handler"))
        reinterpret_cast<GLogSetDefaultHandler>(setter)(&glibLogHandler, nullptr);
}
#else
void routeAlsaErrors() {}
void routeGLibMessages() {}
#endif

}  // namespace

void install()
{
    static const bool installed = [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, &fluidLogFunction, nullptr);
        routeAlsaErrors();
        routeGLibMessages();
        return true;
    }();
    (void)installed;
}

std::optional<std::string> takeUncapturedError()
{
    if (pendingState.load(std::memory_order_acquire) != kFull)
        return std::nullopt;
    std::string text(pendingText);
    pendingState.store(kEmpty, std::memory_order_release);
    return text;
}

Capture::Capture() : outer_(innermost)
{
    install();
    innermost = this;
}

Capture::~Capture() { innermost = outer_; }

bool Capture::collect(bool isError, const char* text)
{
    if (!innermost)
        return false;
    for (Capture* capture = innermost; capture; capture = capture->outer_)
        (isError ? capture->lastError_ : capture->lastWarning_) = text;
    return true;
}

std::string Capture::lastMessage() const { return lastError_.empty() ? lastWarning_ : lastError_; }

}  // namespace audio::fluidlog
