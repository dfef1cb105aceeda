// MIDI output through the Windows multimedia library. winmm.dll and its three
// functions are looked up by name at their first call, so a system without
// them fails the call (a run-time error) instead of refusing to start.

#include "WinMmOutput.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace midi {

namespace {

using MidiOutOpenFn = UINT(WINAPI*)(HANDLE* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance,
                                    DWORD flags);
using MidiOutShortMsgFn = UINT(WINAPI*)(HANDLE handle, DWORD message);
using MidiOutCloseFn = UINT(WINAPI*)(HANDLE handle);

template <typename Fn>
Fn lookUp(const char* name)
{
    static HMODULE library = nullptr;
    if (!library)
        library = LoadLibraryW(L"winmm.dll");
    if (!library)
        throw std::runtime_error("File not found: winmm.dll");
    FARPROC entry = GetProcAddress(library, name);
    if (!entry)
        throw std::runtime_error(std::string("Can't find DLL entry point ") + name + " in winmm.dll");
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(entry));
}

}  // namespace

Status WinMmOutput::open(Handle* handle, std::uint32_t deviceId)
{
    static const auto midiOutOpen = lookUp<MidiOutOpenFn>("midiOutOpen");
    HANDLE opened = nullptr;
    // Callback, instance and flags 0: CALLBACK_NULL, no notifications.
    const UINT result = midiOutOpen(&opened, deviceId, 0, 0, 0);
    *handle = reinterpret_cast<Handle>(opened);
    return result;
}

Status WinMmOutput::sendShort(Handle handle, std::uint32_t message)
{
    static const auto midiOutShortMsg = lookUp<MidiOutShortMsgFn>("midiOutShortMsg");
    return midiOutShortMsg(reinterpret_cast<HANDLE>(handle), message);
}

Status WinMmOutput::close(Handle handle)
{
    static const auto midiOutClose = lookUp<MidiOutCloseFn>("midiOutClose");
    return midiOutClose(reinterpret_cast<HANDLE>(handle));
}

}  // namespace midi
