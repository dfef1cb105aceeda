// A winmm.dll for the Windows tests: three named MIDI output devices that
// write every call, with its arguments and its result, as one line to the file
// named by PLINKORA_WINMM_LOG (else winmm-calls.log in the current directory).
// Lines are written unbuffered, so a process that dies leaves what it did.
//
// Qt's own imports from winmm.dll are answered as a machine without them
// would: no multimedia timers (Qt falls back to window timers), no sounds.

#include <windows.h>

#include <cstdio>

namespace {

// Above 32 bits: a handle that lost its upper half shows in the log. Device
// N's handle is this plus N.
constexpr unsigned long long kDevice0 = 0x5EC0DE00D0ULL;
// Two share "synth": a part of a name may match more than one.
constexpr const wchar_t* kNames[] = {L"Recording Wavetable Synth", L"Recording Loopback Port", L"Recording Soft Synth"};
constexpr UINT kDevices = sizeof kNames / sizeof kNames[0];

constexpr UINT kNoError = 0, kBadDeviceId = 2, kInvalidHandle = 5, kInvalidParam = 11;

bool deviceOpen[kDevices] = {};

void record(const char* format, ...)
{
    char line[256];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    wchar_t path[MAX_PATH];
    if (!GetEnvironmentVariableW(L"PLINKORA_WINMM_LOG", path, MAX_PATH))
        lstrcpyW(path, L"winmm-calls.log");
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
}

// The open device a handle names, or kDevices.
UINT deviceOf(HANDLE handle)
{
    const auto device = reinterpret_cast<unsigned long long>(handle) - kDevice0;
    return device < kDevices && deviceOpen[device] ? static_cast<UINT>(device) : kDevices;
}

UINT useDevice(HANDLE handle) { return deviceOf(handle) < kDevices ? kNoError : kInvalidHandle; }

}  // namespace

extern "C" {

UINT WINAPI recMidiOutOpen(HANDLE* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags)
{
    UINT result = kBadDeviceId;
    if (!handle)
        result = kInvalidParam;
    else if (deviceId < kDevices) {
        *handle = reinterpret_cast<HANDLE>(kDevice0 + deviceId);
        deviceOpen[deviceId] = true;
        result = kNoError;
    }
    record("midiOutOpen device %u callback %#llx instance %#llx flags %#lx = %u handle %#llx\n", deviceId,
           static_cast<unsigned long long>(callback), static_cast<unsigned long long>(instance), flags, result,
           handle ? reinterpret_cast<unsigned long long>(*handle) : 0ULL);
    return result;
}

UINT WINAPI recMidiOutShortMsg(HANDLE handle, DWORD message)
{
    const UINT result = useDevice(handle);
    record("midiOutShortMsg handle %#llx message %#010lx = %u\n", reinterpret_cast<unsigned long long>(handle), message,
           result);
    return result;
}

UINT WINAPI recMidiOutClose(HANDLE handle)
{
    const UINT result = useDevice(handle);
    if (result == kNoError)
        deviceOpen[deviceOf(handle)] = false;
    record("midiOutClose handle %#llx = %u\n", reinterpret_cast<unsigned long long>(handle), result);
    return result;
}

// The devices' queries are not recorded: they open nothing.
UINT WINAPI recMidiOutGetNumDevs() { return kDevices; }

UINT WINAPI recMidiOutGetDevCapsW(UINT_PTR deviceId, MIDIOUTCAPSW* caps, UINT size)
{
    if (deviceId >= kDevices)
        return kBadDeviceId;
    if (!caps || size < sizeof *caps)
        return kInvalidParam;
    *caps = MIDIOUTCAPSW{};
    lstrcpynW(caps->szPname, kNames[deviceId], MAXPNAMELEN);
    return kNoError;
}

UINT WINAPI recTimeSetEvent(UINT delay, UINT resolution, void* callback, DWORD_PTR user, UINT flags)
{
    record("timeSetEvent delay %u resolution %u flags %#x = 0\n", delay, resolution, flags);
    (void)callback;
    (void)user;
    return 0;
}

UINT WINAPI recTimeKillEvent(UINT id)
{
    record("timeKillEvent id %u = %u\n", id, kInvalidParam);
    return kInvalidParam;
}

BOOL WINAPI recPlaySoundW(const wchar_t* sound, HMODULE module, DWORD flags)
{
    record("PlaySoundW flags %#lx = 0\n", flags);
    (void)sound;
    (void)module;
    return FALSE;
}

}  // extern "C"
