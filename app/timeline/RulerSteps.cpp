#include "app/timeline/RulerSteps.h"

#include "app/timeline/TimeAxis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace My {

std::string RulerLabel(int frame)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02df", frame);
    return text;
}

int RulerStep(double offset, double scale, const TextMeasurer& measure)
{
    if (!(scale > 0) || !(offset == offset))
        return 1;
    int step = 1;
    for (int round = 0; round < 5; ++round) {
        int widest = 35;
        const double a = std::ceil(offset);
        const long long start = a > 2e9 ? 2000000000LL : a < -2e9 ? -2000000000LL : (long long)a;
        for (int i = 0; i < 5; ++i) {
            const long long frame = (start / step + i) * step;
            widest = std::max(widest, measure(RulerLabel(int(frame))) + 4);
        }
        const double d = std::fabs(widest / scale);
        const int e = int(std::ceil(std::log10(d)));
        // Steps beyond 10^9 frames label nothing a sequence can hold.
        const long long p = e < 0 ? 0 : e > 9 ? 1000000000LL : (long long)std::llround(std::pow(10.0, e));
        double candidate;
        if (p <= 1)
            candidate = 1;
        else if (d < 0.2 * double(p))
            candidate = 0.2 * double(p);
        else if (d < 0.5 * double(p))
            candidate = 0.5 * double(p);
        else
            candidate = double(p);
        const int next = std::max(1, int(candidate));
        if (next == step)
            break;
        step = next;
    }
    return step;
}

std::vector<int> RulerTicks(const TimeAxis& axis, int step, int left, int right, int first, int count)
{
    std::vector<int> ticks;
    if (step < 1 || count <= 0 || axis.IsDegenerate())
        return ticks;
    const long long end = (long long)first + count;
    long long from = (long long)std::floor(axis.XToTime(left) / step) * step;
    long long to = (long long)std::ceil(axis.XToTime(right) / step) * step;
    from = std::max<long long>(from, first);
    to = std::min<long long>(to, end);
    for (long long f = from; f <= to; f += step)
        ticks.push_back(int(f));
    return ticks;
}

} // namespace My
