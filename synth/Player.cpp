#include "Player.h"

#include "NoSoundReport.h"

namespace synth {

std::unique_ptr<Player> Player::open(const SynthConfig& config, std::string* why, Fault* fault)
{
    std::unique_ptr<Player> player(new Player);
    player->engine_ = SynthEngine::create(config, why, fault);
    if (!player->engine_)
        return nullptr;
    if (config.audioOutputs.empty())
        return player;
    player->outputNames_ = config.audioOutputs;
    player->options_ = config.audio;
    // The audio output comes last, once the synthesizer is complete.
    player->output_ = audio::openAudioOutput(player->outputNames_, *player->engine_, player->options_, why);
    if (!player->output_) {
        if (fault)
            *fault = Fault::noAudio;
        return nullptr;
    }
    return player;
}

Player::~Player() = default;

Played Player::play(std::uint32_t message)
{
    const Played result = engine_->play(message);
    if (output_) {
        output_->wake();
        if (output_->lost()) {
            // Said here, on the thread that plays: the server's thread only
            // noted it.
            if (const std::optional<std::string> why = output_->lossToReport())
                reportNoSound(*why);
            replaceLostOutput();
        }
    }
    return result;
}

// A sound server that went may come back (restarted, or another started in
// its place): while the output is lost, playing tries at most once a second,
// on another thread, to open a new one, and plays through it once it is there.
void Player::replaceLostOutput()
{
    using namespace std::chrono;
    constexpr auto kRetry = seconds(1);
    if (replacement_.valid()) {
        if (replacement_.wait_for(seconds(0)) != std::future_status::ready)
            return;
        if (auto fresh = replacement_.get()) {
            output_ = std::move(fresh);
            return;
        }
    }
    const auto now = steady_clock::now();
    if (now - lastReplacement_ < kRetry)
        return;
    lastReplacement_ = now;
    replacement_ = std::async(std::launch::async, [this] {
        std::string why;
        return audio::openAudioOutput(outputNames_, *engine_, options_, &why);
    });
}

}  // namespace synth
