#pragma once
// Dropouts in a recording of the audio server's output: when the player
// delivers a period too late, the server plays exact digital silence in its
// place, which never occurs inside a sounding note.

#include <vector>

namespace bench {

// Runs of at least `minimum` frames that are exactly zero in every channel,
// from frame `from` to frame `to`.
int countZeroRuns(const std::vector<float>& interleaved, int channels, long from, long to, int minimum);

}  // namespace bench
