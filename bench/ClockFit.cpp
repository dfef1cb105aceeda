#include "ClockFit.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace bench {

namespace {

constexpr double kBinSeconds = 1.0;
// Bins whose earliest arrival lies further above the first line than this
// were late throughout (a stall of the recorder) and are left out.
constexpr double kOutlierSeconds = 0.001;

struct Line {
    double a = 0, b = 0;
};

// Least squares of r = a + b * frames.
std::optional<Line> leastSquares(const std::vector<Arrival>& points, double rate)
{
    if (points.size() < 2)
        return std::nullopt;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const Arrival& p : points) {
        const double r = p.wall - p.frames / rate;
        sx += p.frames;
        sy += r;
        sxx += p.frames * p.frames;
        sxy += p.frames * r;
    }
    const double n = static_cast<double>(points.size());
    const double det = n * sxx - sx * sx;
    if (det == 0)
        return std::nullopt;
    Line line;
    line.b = (n * sxy - sx * sy) / det;
    line.a = (sy - line.b * sx) / n;
    return line;
}

double residual(const Arrival& p, const Line& line, double rate)
{
    return p.wall - p.frames / rate - (line.a + line.b * p.frames);
}

}  // namespace

std::optional<ClockFit> fitClock(const std::vector<Arrival>& arrivals, double rate)
{
    std::map<long, Arrival> earliest;
    for (const Arrival& p : arrivals) {
        const long bin = static_cast<long>(p.frames / (rate * kBinSeconds));
        auto [it, inserted] = earliest.emplace(bin, p);
        if (!inserted && p.wall - p.frames / rate < it->second.wall - it->second.frames / rate)
            it->second = p;
    }
    std::vector<Arrival> points;
    for (const auto& [bin, p] : earliest)
        points.push_back(p);
    auto line = leastSquares(points, rate);
    if (!line)
        return std::nullopt;
    std::erase_if(points, [&](const Arrival& p) { return residual(p, *line, rate) > kOutlierSeconds; });
    line = leastSquares(points, rate);
    if (!line)
        return std::nullopt;

    ClockFit fit;
    fit.rate = rate;
    fit.offset = line->a;
    fit.secondsPerFrame = 1.0 / rate + line->b;
    for (const Arrival& p : points)
        fit.residualMax = std::max(fit.residualMax, std::fabs(residual(p, *line, rate)));
    return fit;
}

}  // namespace bench
