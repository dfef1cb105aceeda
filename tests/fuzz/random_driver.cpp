// Runs a fuzz target without libFuzzer: a fixed number of inputs of random
// length and content from a fixed seed, so that every build (g++ included) and
// every CI run goes through the same inputs. Files named on the command line
// are run first (a crash input that libFuzzer saved, for instance).
//   <target>_random [--runs N] [--seed S] [--max-len BYTES] [FILE...]

#include "FuzzInput.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

struct Options {
    long runs = 10000;
    std::uint64_t seed = 0x5EED;
    std::size_t maxLength = 256;
    std::vector<std::string> files;
};

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--runs" && hasValue)
            options.runs = std::stol(argv[++i]);
        else if (arg == "--seed" && hasValue)
            options.seed = std::stoull(argv[++i], nullptr, 0);
        else if (arg == "--max-len" && hasValue)
            options.maxLength = std::stoul(argv[++i]);
        else
            options.files.push_back(arg);
    }
    return options;
}

}  // namespace

int main(int argc, char** argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    const Options options = parse(argc, argv);

    for (const std::string& file : options.files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }

    std::mt19937_64 random(options.seed);
    std::vector<std::uint8_t> bytes;
    const auto start = std::chrono::steady_clock::now();
    for (long run = 0; run < options.runs; ++run) {
        // Mostly short inputs, now and then one of the longest.
        const std::size_t length = run % 16 == 0 ? options.maxLength : random() % (options.maxLength + 1);
        bytes.resize(length);
        for (auto& byte : bytes)
            byte = static_cast<std::uint8_t>(random());
        // Runs of 0x00 and 0xFF reach the edges of every field.
        if (run % 7 == 0 && length > 0)
            std::fill(bytes.begin() + static_cast<long>(random() % length), bytes.end(), run % 2 ? 0xFF : 0x00);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::printf("%ld inputs from seed %#llx in %lld ms: no invariant broken\n", options.runs,
                static_cast<unsigned long long>(options.seed), static_cast<long long>(ms.count()));
    std::fflush(stdout);
    // Straight out: the targets' Qt and synthesizer objects live to the end.
    std::_Exit(0);
}
