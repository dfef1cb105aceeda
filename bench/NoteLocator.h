#pragma once
// Where a piano note starts in a recording in which earlier notes still sound.
// The level cannot tell (the new note may be no louder than the old ones), so
// the note is found by its own shape: the synthesizer is deterministic, so the
// offline engine renders what the first milliseconds of that note look like,
// and the place in the recording that matches it best (normalised
// cross-correlation) is where the note started, to the sample.

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace midi {
class SynthEngine;
}

namespace bench {

struct NoteMatch {
    long start = 0;     // sample of the recording where the note begins
    double score = 0;   // normalised correlation, 1 for a perfect match
};

class NoteLocator {
public:
    // Piano (program 0) at velocity 100, as the program plays it.
    explicit NoteLocator(double rate);
    ~NoteLocator();
    NoteLocator(const NoteLocator&) = delete;
    NoteLocator& operator=(const NoteLocator&) = delete;

    bool ready() const { return engine_ != nullptr; }
    // The start of `note` from `earliest` to `latest` (samples), or none when
    // nothing there resembles it.
    std::optional<NoteMatch> locate(const std::vector<float>& mono, long earliest, long latest, int note);

private:
    const std::vector<float>& templateOf(int note);

    double rate_;
    std::unique_ptr<midi::SynthEngine> engine_;
    std::map<int, std::vector<float>> templates_;
};

}  // namespace bench
