// plinkora-analysis: answers the end-to-end scripts' questions about a recording.
// Input is a WAV file, or raw interleaved samples as parec writes them
// (float32 stereo 48 kHz unless told otherwise). Output is plain text.

#include "Analysis.h"
#include "Notes.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: plinkora-analysis [--s16] [--rate HZ] [--channels N] [--length S] COMMAND FILE ARGS...\n"
    "  info   FILE                  duration rate peak_db rms_db\n"
    "  pitch  FILE START            note cents hz   (what sounds from START on)\n"
    "  rose   FILE T...             per T: T note cents hz   (the note that started at T)\n"
    "  onset  FILE AFTER            first time the level rises after AFTER\n"
    "  notes  FILE P1 P2...         press times on any clock; the first press must be the\n"
    "                               first sound in FILE. Per press: P start note cents hz\n"
    "  timbre FILE T1 NOTE1 T2 NOTE2  timbre distance (0 same .. 1 unrelated) of two notes\n"
    "A note that cannot be found prints 'none' in place of note, cents and hz; the\n"
    "exit status is then 1. Usage errors exit with 2.\n";

struct Args {
    analysis::RawFormat raw;
    analysis::RiseOptions rise;
    std::string command;
    std::string file;
    std::vector<double> numbers;
};

[[noreturn]] void usage(const std::string& why)
{
    std::fprintf(stderr, "plinkora-analysis: %s\n%s", why.c_str(), kUsage);
    std::exit(2);
}

double number(const std::string& text)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0')
        usage("not a number: " + text);
    return value;
}

Args parse(int argc, char** argv)
{
    Args args;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&] {
            if (i + 1 >= argc)
                usage(a + " needs a value");
            return number(argv[++i]);
        };
        if (a == "--s16")
            args.raw.encoding = analysis::Encoding::Int16;
        else if (a == "--rate")
            args.raw.rate = value();
        else if (a == "--channels")
            args.raw.channels = static_cast<int>(value());
        else if (a == "--length")
            args.rise.spectrum.length = value();
        else if (a == "-h" || a == "--help")
            usage("help");
        else
            positional.push_back(a);
    }
    if (positional.size() < 2)
        usage("missing command or file");
    args.command = positional[0];
    args.file = positional[1];
    for (std::size_t i = 2; i < positional.size(); ++i)
        args.numbers.push_back(number(positional[i]));
    if (args.raw.channels < 1)
        usage("--channels must be at least 1");
    return args;
}

// Prints "note cents hz" or "none"; false for none.
bool printPitch(const std::optional<analysis::Pitch>& p)
{
    if (!p) {
        std::printf("none\n");
        return false;
    }
    std::printf("%d %+.1f %.2f\n", p->note, p->cents, p->hz);
    return true;
}

int info(const analysis::Audio& a, const Args&)
{
    std::printf("%.4f %.0f %.1f %.1f\n", a.duration(), a.rate, analysis::peakDb(a, 0, a.duration()),
                analysis::rmsDb(a, 0, a.duration()));
    return 0;
}

int pitch(const analysis::Audio& a, const Args& args)
{
    if (args.numbers.size() != 1)
        usage("pitch needs START");
    return printPitch(analysis::pitchAt(a, args.numbers[0], args.rise.spectrum)) ? 0 : 1;
}

int rose(const analysis::Audio& a, const Args& args)
{
    if (args.numbers.empty())
        usage("rose needs at least one time");
    bool all = true;
    for (double t : args.numbers) {
        std::printf("%.4f ", t);
        all = printPitch(analysis::noteThatRose(a, t, args.rise)) && all;
    }
    return all ? 0 : 1;
}

int onset(const analysis::Audio& a, const Args& args)
{
    if (args.numbers.size() != 1)
        usage("onset needs AFTER");
    const auto t = analysis::findOnset(a, args.numbers[0]);
    if (!t) {
        std::printf("none\n");
        return 1;
    }
    std::printf("%.5f\n", *t);
    return 0;
}

int notes(const analysis::Audio& a, const Args& args)
{
    if (args.numbers.empty())
        usage("notes needs at least one press time");
    const auto first = analysis::findOnset(a, 0.0);
    if (!first) {
        for (double p : args.numbers)
            std::printf("%.4f none none\n", p);
        return 1;
    }
    const double offset = *first - args.numbers[0];
    bool all = true;
    for (double p : args.numbers) {
        std::printf("%.4f %.4f ", p, p + offset);
        all = printPitch(analysis::noteThatRose(a, p + offset, args.rise)) && all;
    }
    return all ? 0 : 1;
}

int timbre(const analysis::Audio& a, const Args& args)
{
    if (args.numbers.size() != 4)
        usage("timbre needs T1 NOTE1 T2 NOTE2");
    auto profile = [&](double t, double note) {
        return analysis::timbreProfile(analysis::spectrumThatRose(a, t, args.rise), analysis::noteToHz(note));
    };
    std::printf("%.4f\n", analysis::timbreDistance(profile(args.numbers[0], args.numbers[1]),
                                                profile(args.numbers[2], args.numbers[3])));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const Args args = parse(argc, argv);
    const std::map<std::string, std::function<int(const analysis::Audio&, const Args&)>> commands = {
        {"info", info}, {"pitch", pitch}, {"rose", rose}, {"onset", onset}, {"notes", notes}, {"timbre", timbre},
    };
    const auto command = commands.find(args.command);
    if (command == commands.end())
        usage("unknown command " + args.command);
    std::string error;
    const auto recording = analysis::readAudio(args.file, args.raw, &error);
    if (!recording) {
        std::fprintf(stderr, "plinkora-analysis: %s\n", error.c_str());
        return 2;
    }
    return command->second(*recording, args);
}
