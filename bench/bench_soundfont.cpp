// SoundFont load time: SynthEngine::create without an audio driver, which is
// the synthesizer's share of the program's start-up, with dynamic sample
// loading on (the program's setting) and off; and the resident memory one
// engine adds (first run, before any other engine has touched the heap).
//   bench-soundfont [RUNS [DRIVER]]
// With DRIVER (e.g. pulseaudio, which needs a running server), the whole open
// with that audio driver is timed too: SoundFont load plus driver start.

#include "Clock.h"
#include "Stats.h"

#include "FluidSynthOutput.h"
#include "SynthEngine.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
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

// Milliseconds per create, the first (cold cache) run not counted.
std::vector<double> timeCreates(bool dynamicLoading, int runs, const std::string& driver = {})
{
    midi::SynthConfig config = midi::FluidSynthOutput::defaultConfig();
    config.audioDrivers.clear();
    if (!driver.empty())
        config.audioDrivers.push_back(driver);
    config.dynamicSampleLoading = dynamicLoading;
    std::vector<double> ms;
    for (int i = 0; i <= runs; ++i) {
        std::string why;
        const double rssBefore = residentMegabytes();
        const auto start = bench::Steady::now();
        auto engine = midi::SynthEngine::create(config, &why, nullptr);
        const auto end = bench::Steady::now();
        if (i == 0 && engine && driver.empty())
            bench::report(std::string("soundfont_rss_") + (dynamicLoading ? "dynamic" : "full"), residentMegabytes() - rssBefore,
                          "MB", "VmRSS added by one engine (the piano selected)");
        if (!engine) {
            std::fprintf(stderr, "bench-soundfont: %s\n", why.c_str());
            std::exit(1);
        }
        if (i > 0)
            ms.push_back(bench::microsecondsBetween(start, end) / 1000.0);
    }
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    if (argc > 2) {
        const std::string driver = argv[2];
        const auto ms = timeCreates(true, runs, driver);
        bench::report("synth_open_with_" + driver, bench::median(ms), "ms",
                      "SynthEngine::create, dynamic loading, median of " + std::to_string(runs) + ", max "
                          + std::to_string(bench::percentile(ms, 100)));
    }
    for (const bool dynamic : {true, false}) {
        const auto ms = timeCreates(dynamic, runs);
        const std::string name = dynamic ? "soundfont_load_dynamic" : "soundfont_load_full";
        bench::report(name, bench::median(ms), "ms",
                      "median of " + std::to_string(runs) + ", max " + std::to_string(bench::percentile(ms, 100)));
    }
    return 0;
}
