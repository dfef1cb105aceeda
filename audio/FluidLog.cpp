#include "FluidLog.h"

#include <fluidsynth.h>

#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <mutex>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#include <dlfcn.h>
#endif

namespace audio::fluidlog {

namespace {

std::mutex stateMutex;
std::vector<Capture*> activeCaptures;
void (*uncapturedErrorSink)(const std::string&) = nullptr;

void record(int level, const std::string& text)
{
    std::unique_lock lock(stateMutex);
    if (!activeCaptures.empty()) {
        for (Capture* capture : activeCaptures)
            capture->note(level <= FLUID_ERR, text);
        return;
    }
    const auto sink = uncapturedErrorSink;
    lock.unlock();
    if (level <= FLUID_ERR && sink)
        sink(text);
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
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    record(FLUID_ERR, std::string("ALSA: ") + text);
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
    if ((level & (kGLogLevelCritical | kGLogLevelWarning)) != 0 && message != nullptr)
        record(FLUID_WARN, std::string(domain ? domain : "GLib") + ": " + message);
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

void setUncapturedErrorSink(void (*sink)(const std::string& error))
{
    std::lock_guard lock(stateMutex);
    uncapturedErrorSink = sink;
}

Capture::Capture()
{
    install();
    std::lock_guard lock(stateMutex);
    activeCaptures.push_back(this);
}

Capture::~Capture()
{
    std::lock_guard lock(stateMutex);
    activeCaptures.erase(std::find(activeCaptures.begin(), activeCaptures.end(), this));
}

void Capture::note(bool isError, const std::string& text) { (isError ? lastError_ : lastWarning_) = text; }

bool Capture::sawError() const
{
    std::lock_guard lock(stateMutex);
    return !lastError_.empty();
}

std::string Capture::lastMessage() const
{
    std::lock_guard lock(stateMutex);
    return lastError_.empty() ? lastWarning_ : lastError_;
}

}  // namespace audio::fluidlog
