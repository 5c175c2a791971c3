#include "engine/motion/coherent_motion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <vector>

#include "engine/common/thread_pool.h"

namespace trm {

namespace {

const char* const too_little_change
    = "functional and mu values were changed too little on previous iteration.";
const char* const too_many_steps = "maximum iterations number exceeded.";

double score_at(const motion_segment& s) noexcept
{
    return s.scores[static_cast<std::size_t>(s.displacement.y + s.origin.y)]
                   [static_cast<std::size_t>(s.displacement.x + s.origin.x)];
}

int_offset absolute(const motion_segment& s) noexcept
{
    return { s.displacement.x + s.base.x, s.displacement.y + s.base.y };
}

std::int64_t squared_distance(int_offset a, int_offset b) noexcept
{
    const std::int64_t dx = std::int64_t(a.x) - b.x;
    const std::int64_t dy = std::int64_t(a.y) - b.y;
    return dx * dx + dy * dy;
}

// Keeps every current displacement inside its score window, so that no
// choice left from other windows is ever read outside one.
void clamp_displacements(motion_segmentation& segmentation) noexcept
{
    for (motion_segment& s : segmentation.segments) {
        const int columns = static_cast<int>(s.scores.columns());
        const int rows = static_cast<int>(s.scores.rows());
        s.displacement.x = std::clamp(s.displacement.x + s.origin.x, 0, columns - 1) - s.origin.x;
        s.displacement.y = std::clamp(s.displacement.y + s.origin.y, 0, rows - 1) - s.origin.y;
    }
}

// The discrete maximisation of F = Fc + mu·Fd over the segments'
// displacements, Fc the sum of the chosen scores and Fd minus the mean
// squared distance of each segment's absolute displacement to its
// neighbours'.
class maximiser {
public:
    maximiser(motion_segmentation& segmentation, const coherent_motion_param& p, std::ostream& log)
        : m_segments(segmentation.segments)
        , m_p(p)
        , m_log(log)
    {
        m_first.reserve(m_segments.size() + 1);
        for (const motion_segment& s : m_segments) {
            m_first.push_back(m_neighbours.size());
            for (const auto& entry : s.neighbours)
                m_neighbours.push_back(entry.second);
        }
        m_first.push_back(m_neighbours.size());
    }

    // Each segment independently takes the best cell of its scores plus the
    // weighted neighbours' scores aligned on the same absolute displacement;
    // equal maxima are chosen among uniformly.
    void initial_approximation(random15& random)
    {
        const double w = m_p.neighbour_weight;
        std::vector<double> smallest(m_segments.size());
        for (std::size_t i = 0; i < m_segments.size(); ++i) {
            const grid<double>& g = m_segments[i].scores;
            smallest[i] = *std::min_element(g.data(), g.data() + g.count());
        }
        // The segments' sums on the engine's threads; each keeps the cells at
        // which a raster scan of its sums meets a new or equal best, so that
        // the choice among equal maxima draws the same random numbers, in
        // the same order, as one scan after the other.
        std::vector<std::vector<std::uint32_t>> bests(m_segments.size());
        parallel_ranges(m_segments.size(), grain(), [&](std::size_t first, std::size_t last) {
            std::vector<double> work;
            for (std::size_t i = first; i < last; ++i) {
                const motion_segment& si = m_segments[i];
                const int rows = static_cast<int>(si.scores.rows());
                const int columns = static_cast<int>(si.scores.columns());
                work.assign(si.scores.data(), si.scores.data() + si.scores.count());
                for (std::size_t n = m_first[i]; n < m_first[i + 1]; ++n) {
                    const motion_segment& sj = m_segments[m_neighbours[n]];
                    const double outside = w * smallest[m_neighbours[n]];
                    const int sx = (sj.base.x - sj.origin.x) - (si.base.x - si.origin.x);
                    const int sy = (sj.base.y - sj.origin.y) - (si.base.y - si.origin.y);
                    const int rows_j = static_cast<int>(sj.scores.rows());
                    const int columns_j = static_cast<int>(sj.scores.columns());
                    for (int row = 0; row < rows; ++row) {
                        double* m = work.data() + static_cast<std::size_t>(row) * columns;
                        const int rj = row - sy;
                        if (rj < 0 || rj >= rows_j) {
                            for (int col = 0; col < columns; ++col)
                                m[col] += outside;
                            continue;
                        }
                        const double* scores_j = sj.scores[static_cast<std::size_t>(rj)];
                        for (int col = 0; col < columns; ++col) {
                            const int cj = col - sx;
                            m[col] += cj >= 0 && cj < columns_j ? w * scores_j[cj] : outside;
                        }
                    }
                }
                // A new best is marked by the top bit; an equal one is not.
                std::vector<std::uint32_t>& met = bests[i];
                double best = 0.0;
                for (std::size_t c = 0; c < work.size(); ++c) {
                    if (c == 0 || work[c] > best) {
                        best = work[c];
                        met.push_back(static_cast<std::uint32_t>(c) | new_best);
                    } else if (work[c] == best) {
                        met.push_back(static_cast<std::uint32_t>(c));
                    }
                }
            }
        });
        for (std::size_t i = 0; i < m_segments.size(); ++i) {
            motion_segment& si = m_segments[i];
            const int columns = static_cast<int>(si.scores.columns());
            std::size_t chosen = 0;
            std::uint64_t ties = 0;
            for (const std::uint32_t m : bests[i]) {
                const std::size_t c = m & ~new_best;
                if ((m & new_best) != 0) {
                    chosen = c;
                    ties = 1;
                } else {
                    ++ties;
                    if (random.next() * ties <= random15::max)
                        chosen = c;
                }
            }
            si.displacement = { static_cast<int>(chosen % columns) - si.origin.x,
                static_cast<int>(chosen / columns) - si.origin.y };
        }
    }

    // One run: steps until the functional and mu settle, the functional
    // drops, or `cap` steps were taken.
    void maximise(int cap)
    {
        m_mu = m_p.mu;
        double f = functional(true);
        m_log << "F(initial approximation) = " << f << std::endl;
        if (cap == 0) {
            m_log << too_many_steps << std::endl;
            return;
        }
        for (int i = 0;; ++i) {
            if (f == 0.0)
                return;
            step();
            const float mu_previous = m_mu;
            const double next = functional(false);
            m_log << "F(step " << i << ") = " << next << std::endl;
            if (m_mu <= 0.0f && mu_previous <= 0.0f) {
                m_log << too_little_change << std::endl;
                return;
            }
            const double mu_change
                = (double(m_mu) - mu_previous) / std::max(std::fabs(m_mu), std::fabs(mu_previous));
            if (mu_change < m_p.tolerance && (next - f) / std::fabs(f) < m_p.tolerance) {
                m_log << too_little_change << std::endl;
                return;
            }
            f = next;
            if (i + 1 == cap) {
                m_log << too_many_steps << std::endl;
                return;
            }
        }
    }

private:
    double functional(bool first)
    {
        double fc = 0.0;
        double fd = 0.0;
        for (std::size_t i = 0; i < m_segments.size(); ++i) {
            fc += score_at(m_segments[i]);
            const std::size_t n = m_first[i + 1] - m_first[i];
            if (n == 0)
                continue;
            const int_offset d = absolute(m_segments[i]);
            std::int64_t sum = 0;
            for (std::size_t k = m_first[i]; k < m_first[i + 1]; ++k)
                sum += squared_distance(d, absolute(m_segments[m_neighbours[k]]));
            fd += (1.0 / static_cast<double>(n)) * static_cast<double>(sum);
        }
        fd = -fd;
        if (m_p.mu_update == 2 || (m_p.mu_update == 1 && first)) {
            if (m_p.lambda == 0.0f)
                m_mu = 1.0e10f;
            else if (fd == 0.0)
                m_mu = 0.0f;
            else
                m_mu = static_cast<float>((1.0 - m_p.lambda) * fc / (m_p.lambda * fd));
        }
        m_log << "mu=" << m_mu << "\t\tFc=" << fc << "\tFd=" << fd << std::endl;
        return fc + m_mu * fd;
    }

    // Every segment at once takes the cell that maximises its score less the
    // weighted mean squared distance to its neighbours' displacements as
    // they were before the step (the first of equal values is kept); the
    // segments are independent and share the engine's threads.
    void step()
    {
        m_snapshot.resize(m_segments.size());
        for (std::size_t i = 0; i < m_segments.size(); ++i)
            m_snapshot[i] = absolute(m_segments[i]);
        parallel_ranges(m_segments.size(), grain(), [&](std::size_t first, std::size_t last) {
            std::vector<std::int64_t> column_terms;
            for (std::size_t i = first; i < last; ++i)
                step_segment(i, column_terms);
        });
    }

    void step_segment(std::size_t i, std::vector<std::int64_t>& column_terms)
    {
        motion_segment& s = m_segments[i];
        const std::size_t rows = s.scores.rows();
        const std::size_t columns = s.scores.columns();
        const std::size_t n = m_first[i + 1] - m_first[i];
        const double factor = n == 0 ? 0.0 : double(m_mu) / static_cast<double>(n);
        // Σ_j |p − q_j|² splits into a column part and a row part, each a
        // quadratic in the cell's coordinate: n·c² − 2c·Σq + Σq².
        std::int64_t sum_x = 0;
        std::int64_t sum_x2 = 0;
        std::int64_t sum_y = 0;
        std::int64_t sum_y2 = 0;
        for (std::size_t k = m_first[i]; k < m_first[i + 1]; ++k) {
            const int_offset q = m_snapshot[m_neighbours[k]];
            const std::int64_t qx = std::int64_t(q.x) - s.base.x + s.origin.x;
            const std::int64_t qy = std::int64_t(q.y) - s.base.y + s.origin.y;
            sum_x += qx;
            sum_x2 += qx * qx;
            sum_y += qy;
            sum_y2 += qy * qy;
        }
        const auto spread = [n](std::int64_t c, std::int64_t sum, std::int64_t sum2) {
            return static_cast<std::int64_t>(n) * c * c - 2 * c * sum + sum2;
        };
        column_terms.resize(columns);
        for (std::size_t c = 0; c < columns; ++c)
            column_terms[c] = spread(static_cast<std::int64_t>(c), sum_x, sum_x2);
        std::size_t best_row = 0;
        std::size_t best_column = 0;
        double best = 0.0;
        for (std::size_t r = 0; r < rows; ++r) {
            const std::int64_t row_term = spread(static_cast<std::int64_t>(r), sum_y, sum_y2);
            const double* scores = s.scores[r];
            for (std::size_t c = 0; c < columns; ++c) {
                const double value = scores[c] - factor * static_cast<double>(column_terms[c] + row_term);
                if ((r == 0 && c == 0) || value > best) {
                    best = value;
                    best_row = r;
                    best_column = c;
                }
            }
        }
        s.displacement
            = { static_cast<int>(best_column) - s.origin.x, static_cast<int>(best_row) - s.origin.y };
    }

    // Segments per task: enough for the hand-over not to show on small
    // segmentations, few enough to balance uneven windows.
    std::size_t grain() const
    {
        const std::size_t tasks = std::size_t(thread_pool::shared().threads()) * 8;
        return std::max<std::size_t>(64, (m_segments.size() + tasks - 1) / tasks);
    }

    static constexpr std::uint32_t new_best = 0x80000000u;

    std::vector<motion_segment>& m_segments;
    const coherent_motion_param& m_p;
    std::ostream& m_log;
    // Neighbour indices of segment i: m_neighbours[m_first[i] ... m_first[i + 1]).
    std::vector<std::size_t> m_first;
    std::vector<std::uint32_t> m_neighbours;
    std::vector<int_offset> m_snapshot;
    float m_mu = 0.0f;
};

void log_quality(const motion_segmentation& segmentation, std::ostream& log)
{
    log << "motion quality=" << motion_quality(segmentation) << std::endl;
}

} // namespace

double motion_quality(const motion_segmentation& segmentation)
{
    double sum = 0.0;
    for (const motion_segment& s : segmentation.segments)
        if (!s.scores.empty())
            sum += score_at(s);
    return sum;
}

void find_coherent_motion(motion_segmentation& segmentation, affine_motion& out,
    const coherent_motion_param& p, random15& random, std::ostream& log)
{
    log << "\nFunctional maximization" << std::endl;
    const bool windows = std::none_of(segmentation.segments.begin(), segmentation.segments.end(),
        [](const motion_segment& s) { return s.scores.empty(); });
    if (!windows) {
        log << "segments have no score windows, no motion" << std::endl;
        out = affine_motion();
        return;
    }
    clamp_displacements(segmentation);
    maximiser m(segmentation, p, log);
    const int cap = p.max_iterations < 0 ? uncapped_step_limit : p.max_iterations;
    if (p.max_iterations < 0) {
        for (motion_segment& s : segmentation.segments)
            s.base = {};
    } else {
        m.initial_approximation(random);
        m.maximise(cap);
    }
    log_quality(segmentation, log);
    if (segmentation.segments.size() < 10) {
        log << "Segments count is less than 10, so it was decided not to find motion approximation\n";
        out = affine_motion();
        return;
    }
    segmentation.update_centroids();
    for (int round = 0; round < p.rounds; ++round) {
        match_point_sets(segmentation, out, p.model, log);
        seed_displacements(segmentation, out);
        log_quality(segmentation, log);
        m.maximise(cap);
        log_quality(segmentation, log);
    }
    match_point_sets(segmentation, out, p.model, log);
    if (p.final_seed) {
        seed_displacements(segmentation, out);
        log_quality(segmentation, log);
    }
}

} // namespace trm
