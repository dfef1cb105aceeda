// Device 0 on Windows: the system's own MIDI output through winmm.dll, by
// default its device 0; the command line may name another of its devices.

#include "WinMmOutput.h"

#include <windows.h>

#include <charconv>
#include <optional>

namespace midi {

namespace {

WinMmOutput& backend()
{
    static WinMmOutput output;
    return output;
}

// Lower case as Windows folds it, for a match in any case.
std::wstring folded(const std::string& utf8)
{
    const int length = static_cast<int>(utf8.size());
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), static_cast<int>(wide.size()));
    CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return wide;
}

bool isNumber(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The device a number or a part of a name picks, if any: by name, the first
// device whose name contains it.
std::optional<std::uint32_t> pick(const std::string& choice, const std::vector<std::string>& names)
{
    if (isNumber(choice)) {
        unsigned long long id = 0;
        const auto [end, error] = std::from_chars(choice.data(), choice.data() + choice.size(), id);
        if (error == std::errc() && end == choice.data() + choice.size() && id < names.size())
            return static_cast<std::uint32_t>(id);
        return std::nullopt;
    }
    const std::wstring part = folded(choice);
    for (std::size_t id = 0; id < names.size() && !part.empty(); ++id)
        if (folded(names[id]).find(part) != std::wstring::npos)
            return static_cast<std::uint32_t>(id);
    return std::nullopt;
}

std::string existing(const std::vector<std::string>& names)
{
    if (names.empty())
        return "the system has none";
    std::string text = "the system has " + std::to_string(names.size()) + ":";
    for (std::size_t id = 0; id < names.size(); ++id)
        text += (id ? ", " : " ") + std::to_string(id) + " " + names[id];
    return text;
}

}  // namespace

OutputPort& platformOutput() { return backend(); }

void prepareOutput() { backend().prepare(); }

// WinMM runs no thread of ours.
void releaseOutput() {}

std::string chooseOutput(const std::string& choice)
{
    const std::vector<std::string> names = WinMmOutput::deviceNames();
    if (const std::optional<std::uint32_t> id = pick(choice, names)) {
        backend().setDevice0(*id);
        return {};
    }
    const std::string wanted = isNumber(choice) ? "no MIDI output device " + choice
                                                : "no MIDI output device's name contains \"" + choice + "\"";
    return wanted + " (" + existing(names) + ")";
}

std::vector<std::string> outputChoices()
{
    std::vector<std::string> lines;
    const std::vector<std::string> names = WinMmOutput::deviceNames();
    for (std::size_t id = 0; id < names.size(); ++id)
        lines.push_back(std::to_string(id) + ": " + names[id]);
    return lines;
}

}  // namespace midi
