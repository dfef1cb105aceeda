#pragma once
// A disk that is slow to answer, for the thread that plays: while held, every
// fread() on that thread waits until the audio thread has rendered a few
// times more. This test program's own fread() stands in for the C library's,
// which the synthesizer's library reads the SoundFont's samples with.

namespace slowreads {

// Reads on the calling thread are held from now until release().
void holdOnThisThread();
void release();
// The audio thread has rendered once more.
void rendered();
// Reads held so far, and how many of those saw no render before they gave
// up waiting (the audio thread was stuck).
long held();
long stalled();

}  // namespace slowreads
