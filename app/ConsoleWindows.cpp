// A GUI program on Windows starts without a console, and its standard handles
// are empty unless the parent redirected them (`Plinkora.exe --help > file`).
// Started from cmd.exe or PowerShell, it writes to their console by attaching
// to it; started from Explorer there is none, and it stays silent: it never
// makes a console window of its own.

#include "Console.h"

#include <windows.h>

namespace console {

namespace {

bool usable(HANDLE handle)
{
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// The console of the process that started this one, or null. Attached only
// when there is something to say: a program attached to a console ends with
// the console's Ctrl+C, and the piano should not.
HANDLE parentConsole()
{
    static const HANDLE console = [] {
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return HANDLE(nullptr);
        const HANDLE output = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr);
        return output == INVALID_HANDLE_VALUE ? HANDLE(nullptr) : output;
    }();
    return console;
}

}  // namespace

bool write(std::FILE* stream, const QString& text)
{
    if (text.isEmpty())
        return true;
    HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (!usable(handle)) {
        handle = parentConsole();
        if (!handle)
            return true;
    }
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        // A console takes the text as it is; its code page would garble names.
        DWORD written = 0;
        const auto length = static_cast<DWORD>(text.size());
        return WriteConsoleW(handle, text.utf16(), length, &written, nullptr) && written == length;
    }
    std::fputs(qPrintable(text), stream);
    return std::fflush(stream) == 0 && !std::ferror(stream);
}

}  // namespace console
