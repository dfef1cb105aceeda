// MIDI output through the Windows multimedia library. winmm.dll and its
// functions are looked up by name at their first call, so a system without
// them fails the call (a run-time error) instead of refusing to start.

#include "WinMmOutput.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <stdexcept>
#include <string>

namespace midi {

namespace {

using MidiOutOpenFn = UINT(WINAPI*)(HANDLE* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance,
                                    DWORD flags);
using MidiOutShortMsgFn = UINT(WINAPI*)(HANDLE handle, DWORD message);
using MidiOutCloseFn = UINT(WINAPI*)(HANDLE handle);
using MidiOutGetNumDevsFn = UINT(WINAPI*)();
using MidiOutGetDevCapsWFn = UINT(WINAPI*)(UINT_PTR deviceId, MIDIOUTCAPSW* caps, UINT size);

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

std::string utf8(const wchar_t* text, int length)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(std::max(size, 0)), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

}  // namespace

Status WinMmOutput::open(Handle* handle, std::uint32_t deviceId)
{
    static const auto midiOutOpen = lookUp<MidiOutOpenFn>("midiOutOpen");
    HANDLE opened = nullptr;
    // Callback, instance and flags 0: CALLBACK_NULL, no notifications.
    const UINT result = midiOutOpen(&opened, deviceId == 0 ? device0_ : deviceId, 0, 0, 0);
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

std::vector<std::string> WinMmOutput::deviceNames()
{
    static const auto midiOutGetNumDevs = lookUp<MidiOutGetNumDevsFn>("midiOutGetNumDevs");
    static const auto midiOutGetDevCapsW = lookUp<MidiOutGetDevCapsWFn>("midiOutGetDevCapsW");
    std::vector<std::string> names;
    const UINT count = midiOutGetNumDevs();
    for (UINT id = 0; id < count; ++id) {
        MIDIOUTCAPSW caps{};
        // A device that went away since it was counted keeps its number.
        if (midiOutGetDevCapsW(id, &caps, sizeof caps) != 0)
            names.emplace_back("(no name)");
        else
            names.push_back(utf8(caps.szPname, static_cast<int>(wcsnlen(caps.szPname, MAXPNAMELEN))));
    }
    return names;
}

}  // namespace midi
