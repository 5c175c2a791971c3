#pragma once

#include "contours/point.h"

#include <optional>

namespace contours {

// A map p -> L p + t of the plane.
struct motion_map {
    double m00 = 1.0, m01 = 0.0, m10 = 0.0, m11 = 1.0;
    pointd translation;

    pointd linear(pointd v) const { return { m00 * v.x + m01 * v.y, m10 * v.x + m11 * v.y }; }
    pointd operator()(pointd p) const { return linear(p) + translation; }
};

// Weighted least-squares estimators of a map that moves the sample points p
// onto their targets q, one per motion model of the pre-alignment. Each
// gathers sums in double precision through `add` and solves them in closed
// form. `solve` gives no map when the sums are degenerate (no positive total
// weight, or a model whose solution is not determined by the samples), or when
// the solution is not finite: the caller then leaves the contour unchanged.

class translation_estimator {
public:
    void add(pointd p, pointd q, double weight);
    std::optional<motion_map> solve() const;
    void clear() { *this = {}; }

private:
    double m_weight = 0.0;
    pointd m_shift;
};

class rigid_estimator {
public:
    void add(pointd p, pointd q, double weight);
    std::optional<motion_map> solve() const;
    void clear() { *this = {}; }

protected:
    // The centred sums of p . q and of p.y q.x - p.x q.y.
    double centred_dot() const;
    double centred_cross() const;

    double m_weight = 0.0;
    pointd m_p;
    pointd m_q;
    double m_dot = 0.0; // sum w (p . q)
    double m_cross = 0.0; // sum w (p.y q.x - p.x q.y)
};

class similarity_estimator : public rigid_estimator {
public:
    void add(pointd p, pointd q, double weight);
    std::optional<motion_map> solve() const;
    void clear() { *this = {}; }

private:
    double m_pp = 0.0; // sum w |p|^2
};

class affine_estimator {
public:
    void add(pointd p, pointd q, double weight);
    std::optional<motion_map> solve() const;
    void clear() { *this = {}; }

private:
    double m_weight = 0.0;
    pointd m_p;
    pointd m_q;
    double m_xx = 0.0, m_yy = 0.0, m_xy = 0.0; // sums of w p.x p.x, p.y p.y, p.x p.y
    double m_xqx = 0.0, m_xqy = 0.0, m_yqx = 0.0, m_yqy = 0.0; // sums of w p.x q.x, ...
};

} // namespace contours
