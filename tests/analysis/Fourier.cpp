#include "Fourier.h"

#include <algorithm>
#include <cmath>
#include <fftw3.h>

#include <map>
#include <memory>
#include <mutex>
#include <numbers>
#include <stdexcept>

namespace analysis {

namespace {

std::size_t binOf(const Spectrum& s, double hz, bool roundUp)
{
    const double b = hz / s.binHz;
    const double bin = roundUp ? std::ceil(b) : std::floor(b);
    return static_cast<std::size_t>(std::clamp(bin, 0.0, static_cast<double>(s.magnitude.size() - 1)));
}

std::size_t peakBin(const Spectrum& s, double lowHz, double highHz)
{
    std::size_t lo = binOf(s, lowHz, false);
    std::size_t hi = binOf(s, highHz, true);
    return static_cast<std::size_t>(std::max_element(s.magnitude.begin() + lo, s.magnitude.begin() + hi + 1) -
                                    s.magnitude.begin());
}

// One FFTW plan per size, made once: planning costs far more than a
// transform. Plans and their buffers are shared, so one transform at a time.
struct Transform {
    double* input = nullptr;
    fftw_complex* output = nullptr;
    fftw_plan plan = nullptr;

    Transform() = default;
    Transform(const Transform&) = delete;
    Transform& operator=(const Transform&) = delete;
    // Freed at exit: LeakSanitizer counts what no one frees as lost.
    ~Transform()
    {
        if (plan)
            fftw_destroy_plan(plan);
        fftw_free(output);
        fftw_free(input);
    }
};

std::mutex transforming;

Transform& transformOf(std::size_t n)
{
    static std::map<std::size_t, std::unique_ptr<Transform>> transforms;
    auto& t = transforms[n];
    if (!t) {
        t = std::make_unique<Transform>();
        t->input = fftw_alloc_real(n);
        t->output = fftw_alloc_complex(n / 2 + 1);
        t->plan = fftw_plan_dft_r2c_1d(static_cast<int>(n), t->input, t->output, FFTW_ESTIMATE);
    }
    return *t;
}

}  // namespace

double Spectrum::peakBetween(double lowHz, double highHz) const
{
    if (empty())
        return 0.0;
    return magnitude[peakBin(*this, lowHz, highHz)];
}

double Spectrum::peakFrequencyBetween(double lowHz, double highHz) const
{
    if (empty())
        return 0.0;
    const std::size_t i = peakBin(*this, lowHz, highHz);
    if (i == 0 || i + 1 >= magnitude.size())
        return i * binHz;
    // Parabola through log magnitudes: exact for a Gaussian, close for a Hann main lobe.
    const double a = std::log(magnitude[i - 1] + 1e-30);
    const double b = std::log(magnitude[i] + 1e-30);
    const double c = std::log(magnitude[i + 1] + 1e-30);
    const double denominator = a - 2.0 * b + c;
    const double offset = denominator < 0.0 ? 0.5 * (a - c) / denominator : 0.0;
    return (static_cast<double>(i) + std::clamp(offset, -0.5, 0.5)) * binHz;
}

Spectrum spectrumAt(const Audio& audio, double start, const SpectrumOptions& options)
{
    const std::size_t n = options.fftSize;
    if (n < 2 || n % 2 != 0)
        throw std::invalid_argument("spectrum size must be even");
    const auto length = std::min(n, static_cast<std::size_t>(std::lround(options.length * audio.rate)));
    const auto first = static_cast<long long>(std::floor(start * audio.rate));

    const std::lock_guard lock(transforming);
    Transform& transform = transformOf(n);
    std::fill(transform.input, transform.input + n, 0.0);
    double windowSum = 0.0;
    for (std::size_t i = 0; i < length; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i + 0.5) / static_cast<double>(length));
        windowSum += w;
        const long long at = first + static_cast<long long>(i);
        if (at >= 0 && at < static_cast<long long>(audio.samples.size()))
            transform.input[i] = w * audio.samples[static_cast<std::size_t>(at)];
    }
    fftw_execute(transform.plan);

    Spectrum spectrum;
    spectrum.binHz = audio.rate / static_cast<double>(n);
    spectrum.magnitude.resize(n / 2 + 1);
    // Scaled so that a sine of amplitude A peaks at A.
    const double scale = windowSum > 0.0 ? 2.0 / windowSum : 0.0;
    for (std::size_t k = 0; k < spectrum.magnitude.size(); ++k)
        spectrum.magnitude[k] = std::hypot(transform.output[k][0], transform.output[k][1]) * scale;
    return spectrum;
}

Spectrum rise(const Spectrum& before, const Spectrum& after)
{
    if (before.magnitude.size() != after.magnitude.size())
        throw std::invalid_argument("spectra of different sizes");
    Spectrum grown = after;
    for (std::size_t k = 0; k < grown.magnitude.size(); ++k)
        grown.magnitude[k] = std::max(0.0, after.magnitude[k] - before.magnitude[k]);
    return grown;
}

}  // namespace analysis
