#include "Console.h"

namespace console {

bool write(std::FILE* stream, const QString& text)
{
    std::fputs(qPrintable(text), stream);
    return std::fflush(stream) == 0 && !std::ferror(stream);
}

}  // namespace console
