// SoundFont load time: SynthEngine::create without an audio driver, which is
// the synthesizer's share of the program's start-up, with dynamic sample
// loading on (the program's setting) and off; and the resident memory one
// engine adds (first run, before any other engine has touched the heap).
//   bench-soundfont [RUNS [OUTPUTS]]
// With OUTPUTS (audio outputs tried in order, comma-separated, e.g.
// pipewire,pulseaudio, which need a running server), only the whole open is
// timed: SoundFont load plus the first audio output that opens.
// Every create runs in a fresh child process: FluidSynth keeps loaded samples
// in a per-process cache, so a second load in the same process is no start-up.

#include "Clock.h"
#include "Stats.h"

#include "synth/SynthEngine.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

double residentMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string field;
    double kilobytes = 0;
    while (status >> field)
        if (field == "VmRSS:" && status >> kilobytes)
            break;
    return kilobytes / 1024;
}

struct Sample {
    double ms = 0;
    double addedMegabytes = 0;
};

// One create in a child process; false if it failed.
bool createInChild(const synth::SynthConfig& config, Sample* sample)
{
    int channel[2];
    if (pipe(channel) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        std::string why;
        Sample s;
        const double rssBefore = residentMegabytes();
        const auto start = bench::Steady::now();
        auto engine = synth::SynthEngine::create(config, &why, nullptr);
        std::unique_ptr<audio::AudioOutput> audio;
        if (engine && !config.audioOutputs.empty())
            audio = audio::openAudioOutput(config.audioOutputs, *engine, config.audio, &why);
        s.ms = bench::microsecondsBetween(start, bench::Steady::now()) / 1000.0;
        s.addedMegabytes = residentMegabytes() - rssBefore;
        const bool opened = engine && (config.audioOutputs.empty() || audio);
        if (!opened)
            std::fprintf(stderr, "bench-soundfont: %s\n", why.c_str());
        else if (write(channel[1], &s, sizeof s) != sizeof s)
            _exit(1);
        _exit(opened ? 0 : 1);
    }
    close(channel[1]);
    const bool got = child > 0 && read(channel[0], sample, sizeof *sample) == sizeof *sample;
    close(channel[0]);
    int status = 0;
    if (child > 0)
        waitpid(child, &status, 0);
    return got;
}

// Per create, the first (cold page cache) not counted.
std::vector<Sample> timeCreates(bool dynamicLoading, int runs, const std::string& outputs = {})
{
    synth::SynthConfig config = synth::installedConfig();
    config.audioOutputs.clear();
    std::stringstream names(outputs);
    for (std::string name; std::getline(names, name, ',');)
        config.audioOutputs.push_back(name);
    config.dynamicSampleLoading = dynamicLoading;
    std::vector<Sample> samples;
    for (int i = 0; i <= runs; ++i) {
        Sample sample;
        if (!createInChild(config, &sample))
            std::exit(1);
        if (i > 0)
            samples.push_back(sample);
    }
    return samples;
}

std::vector<double> field(const std::vector<Sample>& samples, double Sample::*member)
{
    std::vector<double> values;
    for (const Sample& s : samples)
        values.push_back(s.*member);
    return values;
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    if (argc > 2) {
        const std::string outputs = argv[2];
        const auto ms = field(timeCreates(true, runs, outputs), &Sample::ms);
        bench::report("synth_open_with_" + outputs, bench::median(ms), "ms",
                      "SynthEngine::create then the first of these audio outputs that opens, dynamic loading, "
                      "fresh process each, median of " + std::to_string(runs)
                          + ", max " + std::to_string(bench::percentile(ms, 100)));
        return 0;
    }
    for (const bool dynamic : {true, false}) {
        const auto samples = timeCreates(dynamic, runs);
        const std::string mode = dynamic ? "dynamic" : "full";
        const auto ms = field(samples, &Sample::ms);
        bench::report("soundfont_load_" + mode, bench::median(ms), "ms",
                      "SynthEngine::create without audio, fresh process each, median of " + std::to_string(runs)
                          + ", max " + std::to_string(bench::percentile(ms, 100)));
        bench::report("soundfont_rss_" + mode, bench::median(field(samples, &Sample::addedMegabytes)), "MB",
                      "VmRSS added by the engine (the piano selected)");
    }
    return 0;
}
