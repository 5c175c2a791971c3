#include "contours/key_frames.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace contours {

bool outlines_equal(const outline& a, const outline& b)
{
    return a.points == b.points;
}

namespace {

struct frame {
    const std::vector<pointf>* points;
    double time;
};

// The cost of holding the frames between two keys on the straight line
// through them, gathered per point with the later key b fixed: S = sum
// |d|^2, M = sum d dt, T = sum dt^2 over the frames added so far, d and dt
// being a frame's offset from key b in place and time.
class key_segment_tracker {
public:
    void start(const frame& b)
    {
        m_time = b.time;
        m_records.resize(b.points->size());
        for (std::size_t i = 0; i < m_records.size(); ++i)
            m_records[i] = { pointd((*b.points)[i]), 0.0, {}, 0.0 };
    }

    // The cost of the segment from frame a to key b over the frames
    // added before; then adds frame a.
    double cost_and_add(const frame& a)
    {
        const double delta = a.time - m_time;
        double total = 0.0;
        for (std::size_t i = 0; i < m_records.size(); ++i) {
            record& r = m_records[i];
            const pointd d = pointd((*a.points)[i]) - r.key;
            const double length2 = norm2(d);
            // Two frames at one time give no line; holding the frames at
            // the key is the sound reading then.
            double cost = r.s;
            if (delta != 0.0)
                cost = r.s - 2.0 * dot(d, r.m) / delta + length2 / (delta * delta) * r.t;
            total += std::max(cost, 0.0);
            r.s += length2;
            r.m += d * delta;
            r.t += delta * delta;
        }
        return total;
    }

    // The least error any line through key b can reach over the frames
    // added so far.
    double lower_bound() const
    {
        double total = 0.0;
        for (const record& r : m_records)
            total += r.t > 0.0 ? r.s - norm2(r.m) / r.t : r.s;
        return total;
    }

    double held_cost() const
    {
        double total = 0.0;
        for (const record& r : m_records)
            total += r.s;
        return total;
    }

private:
    struct record {
        pointd key;
        double s;
        pointd m;
        double t;
    };
    double m_time = 0.0;
    std::vector<record> m_records;
};

constexpr double unreachable = -1.0;

struct choice {
    std::vector<int> keys;
    double error = 0.0;
    // The previous key of each frame's best path, per round.
    std::vector<std::vector<std::uint32_t>> previous;
};

std::vector<int> read_path(
    const std::vector<std::vector<std::uint32_t>>& previous, std::size_t row, std::size_t last)
{
    std::vector<int> keys;
    std::size_t cell = last;
    for (std::size_t r = row + 1; r-- > 0;) {
        cell = previous[r][cell];
        keys.push_back(static_cast<int>(cell));
    }
    std::reverse(keys.begin(), keys.end());
    return keys;
}

choice choose(const std::vector<frame>& frames, double bound, bool cyclic_test)
{
    choice result;
    const std::size_t n = frames.size();
    if (n < 2)
        return result;
    key_segment_tracker tracker;
    std::vector<double> errors(n, unreachable);
    std::vector<double> next(n, unreachable);
    result.previous.emplace_back(n, 0u);

    tracker.start(frames[0]);
    for (std::size_t j = 1; j + 1 < n; ++j)
        errors[j] = tracker.cost_and_add(frames[j]);
    if (cyclic_test && *frames.front().points == *frames.back().points)
        errors[n - 1] = tracker.held_cost();
    else
        errors[n - 1] = tracker.cost_and_add(frames[n - 1]);

    // Round r holds the best cost of reaching each frame with r + 1
    // segments; with n - 1 segments every frame is a key and the cost 0.
    while (errors[n - 1] > bound && result.previous.size() + 1 < n) {
        std::vector<std::uint32_t>& previous = result.previous.emplace_back(n, 0u);
        std::fill(next.begin(), next.end(), unreachable);
        std::size_t j = 1;
        while (j < n && errors[j] < 0.0)
            ++j;
        ++j;
        for (; j < n; ++j) {
            double best = std::numeric_limits<double>::max();
            tracker.start(frames[j]);
            for (std::size_t i = j; i-- > 0 && errors[i] >= 0.0;) {
                const double total = tracker.cost_and_add(frames[i]) + errors[i];
                if (total < best) {
                    best = total;
                    previous[j] = static_cast<std::uint32_t>(i);
                } else if (tracker.lower_bound() > best) {
                    break;
                }
            }
            next[j] = best;
        }
        errors.swap(next);
    }
    result.error = errors[n - 1];
    result.keys = read_path(result.previous, result.previous.size() - 1, n - 1);
    return result;
}

// The total error of interpolating between the given keys (ascending,
// starting with 0) and the last frame.
double path_error(const std::vector<frame>& frames, const std::vector<int>& keys)
{
    key_segment_tracker tracker;
    double total = 0.0;
    std::size_t b = frames.size() - 1;
    for (std::size_t k = keys.size(); k-- > 0;) {
        const std::size_t a = static_cast<std::size_t>(keys[k]);
        tracker.start(frames[b]);
        for (std::size_t i = b - 1; i > a; --i)
            tracker.cost_and_add(frames[i]);
        total += tracker.cost_and_add(frames[a]);
        b = a;
    }
    return total;
}

} // namespace

double select_key_frames(const std::vector<outline>& frames, double bound, std::vector<int>& keys)
{
    keys.clear();
    const std::size_t n = frames.size();
    for (const outline& f : frames)
        if (f.points.size() != frames.front().points.size())
            throw std::runtime_error("The contours of the frames do not all have the same number of points");
    if (n < 2)
        return 0.0;

    std::vector<frame> list;
    list.reserve(n);
    for (const outline& f : frames)
        list.push_back({ &f.points, double(f.time) });

    choice first = choose(list, bound, true);
    const bool cyclic = outlines_equal(frames.front(), frames.back());
    if (!cyclic || first.previous.size() < 2) {
        keys = std::move(first.keys);
        return first.error;
    }

    // A cyclic run: start the cycle at the frame that the rounds chose most
    // often, and choose again on the rotated list m, ..., n-1, 1, ..., m
    // (frame 0 equals frame n-1), timed consecutively.
    std::vector<unsigned> counts(n, 0);
    for (std::size_t r = 1; r < first.previous.size(); ++r)
        for (int k : read_path(first.previous, r, n - 1))
            if (k != 0)
                ++counts[static_cast<std::size_t>(k)];
    const std::size_t m
        = static_cast<std::size_t>(std::max_element(counts.begin(), counts.end()) - counts.begin());

    std::vector<frame> rotated;
    rotated.reserve(n);
    for (std::size_t i = m; i < n; ++i)
        rotated.push_back({ &frames[i].points, double(rotated.size()) });
    for (std::size_t i = 1; i <= m; ++i)
        rotated.push_back({ &frames[i].points, double(rotated.size()) });

    const choice second = choose(rotated, bound, false);
    for (int k : second.keys) {
        const std::size_t frame_index = std::size_t(k) + m;
        keys.push_back(static_cast<int>(frame_index < n - 1 ? frame_index : frame_index + 1 - n));
    }
    std::rotate(keys.begin(), std::min_element(keys.begin(), keys.end()), keys.end());
    if (keys.front() != 0)
        keys.insert(keys.begin(), 0);

    // Frame 0 is a key of every choice handed back, and making it one cuts
    // the rotated choice's segment across the wrap in two, which changes how
    // the frames around it are interpolated: the result may then miss the
    // bound or need more keys than the direct choice, which already is the
    // cheapest among the fewest keys that start at frame 0 and end at the
    // last frame. The rotated choice stands only where it is as good.
    const double error = path_error(list, keys);
    if (error <= bound
        && (keys.size() < first.keys.size() || (keys.size() == first.keys.size() && error <= first.error)))
        return error;
    keys = std::move(first.keys);
    return first.error;
}

} // namespace contours
