#pragma once
// The synthesizer playing through a sound server: the engine, then its audio
// output, opened last and closed first as FluidSynth asks of its drivers. An
// output whose server went away is replaced once a server is there again.

#include "SynthEngine.h"
#include "audio/AudioOut.h"

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace synth {

class Player {
public:
    // The player, or nullptr with a one-line reason and the fault. Loads the
    // SoundFont and opens the output: slow, and may run on another thread.
    // Without audio outputs in the configuration it plays offline.
    static std::unique_ptr<Player> open(const SynthConfig& config, std::string* why, Fault* fault);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Plays a message (SynthEngine::play) and wakes the output.
    Played play(std::uint32_t message);

    SynthEngine& engine() const { return *engine_; }
    // nullptr when it plays offline.
    audio::AudioOutput* output() const { return output_.get(); }

private:
    Player() = default;
    void replaceLostOutput();

    // Declared in the order they are built; so the output, and one being
    // opened in its place, go before the engine they render from.
    std::unique_ptr<SynthEngine> engine_;
    std::unique_ptr<audio::AudioOutput> output_;
    std::vector<std::string> outputNames_;
    audio::AudioOptions options_;
    std::future<std::unique_ptr<audio::AudioOutput>> replacement_;
    std::chrono::steady_clock::time_point lastReplacement_;
};

}  // namespace synth
