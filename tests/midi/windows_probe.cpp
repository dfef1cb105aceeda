// Built with a Windows cross compiler: the voice over the WinMM backend links
// without importing winmm.dll, which is looked up at the first call instead.

#include "midi/sMidi.h"

int main()
{
    sMidi voice;
    const auto status = voice.MidOpen();
    voice.outNum(60);
    voice.MidStop();
    voice.MidClose();
    return status == 0 ? 0 : 1;
}
