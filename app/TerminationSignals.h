#pragma once
// The system's requests to end the program, as a file descriptor that becomes
// readable when one arrives. One file per platform: POSIX signals (SIGTERM,
// SIGINT, SIGHUP) where there are any; Windows asks a GUI program through its
// window instead (close, session end), which reaches FrmMain through Qt.

namespace terminationsignals {

// Catches the requests from now on. Idempotent; false if it could not.
bool install();
// Readable after a request; -1 where requests do not come this way.
int descriptor();
// Takes one request off the descriptor.
void acknowledge();

}  // namespace terminationsignals
