#include "contours/bezier_fit_term.h"

#include "contours/fit_geometry.h"

#include <cmath>
#include <utility>

namespace contours {

term_prior term_prior::from_traction(double w)
{
    term_prior prior;
    if (w > 0.0 && w < 1.0) {
        const double kappa = w / (1.0 - w);
        prior.present = true;
        prior.kappa2 = kappa * kappa;
    }
    return prior;
}

void bezier_fit_term::subtract_known(segment_side, double, pointd&) const { }
void bezier_fit_term::basis(int, segment_side, double, double*) const { }
void bezier_fit_term::apply_prior(double*, double*) const { }
void bezier_fit_term::evaluate(const double*, term_value&) const { }
void bezier_fit_term::load(const std::vector<pointf>&) { }

namespace {

// The weight of a node's position in a sample: (3 - 2v) v^2, v = t at the
// segment's end and 1 - t at its start.
double position_weight(segment_side side, double t)
{
    const double v = side == segment_side::end ? t : 1.0 - t;
    return (3.0 - 2.0 * v) * v * v;
}

// The weight of a node's out-handle: 3 t (1 - t)^2 at the start, 0 at the end.
double out_weight(segment_side side, double t)
{
    const double u = 1.0 - t;
    return side == segment_side::start ? 3.0 * t * u * u : 0.0;
}

// The weight of a shared pair's handle that acts on this side: the
// out-handle (b1) at the start, the in-handle (b2) at the end.
double pair_weight(segment_side side, double t, double a, double b)
{
    const double u = 1.0 - t;
    return side == segment_side::start ? b * 3.0 * t * u * u : a * 3.0 * t * t * u;
}

segment_side opposite(segment_side side)
{
    return side == segment_side::start ? segment_side::end : segment_side::start;
}

void apply_scalar_prior(const term_prior& prior, double target, double& diagonal, double& rhs)
{
    if (!prior.present)
        return;
    rhs += target * diagonal;
    diagonal *= 1.0 + prior.kappa2;
}

void apply_vector_prior(const term_prior& prior, pointd target, double* diagonal, double* rhs)
{
    apply_scalar_prior(prior, target.x, diagonal[0], rhs[0]);
    apply_scalar_prior(prior, target.y, diagonal[1], rhs[1]);
}

void vector_basis(int coordinate, double weight, double* coefficients)
{
    coefficients[0] = coordinate == 0 ? weight : 0.0;
    coefficients[1] = coordinate == 0 ? 0.0 : weight;
}

using weight_function = double (*)(segment_side, double);

// A point or handle offset without parameters: the node's position (weighted
// by the position basis) or an out-handle (by the handle basis).
template <weight_function Weight, pointd term_value::*Field>
class constant_part final : public bezier_fit_term {
public:
    explicit constant_part(pointd value)
        : m_value(value)
    {
    }
    void subtract_known(segment_side side, double t, pointd& target) const override
    {
        target -= m_value * Weight(side, t);
    }
    void evaluate(const double*, term_value& value) const override { value.*Field = m_value; }

private:
    pointd m_value;
};

// A point or handle offset whose x and y are two free parameters.
template <weight_function Weight, pointd term_value::*Field> class free_part final : public bezier_fit_term {
public:
    free_part(pointd prior_value, term_prior prior)
        : m_target(prior_value * prior.kappa2)
        , m_prior(prior)
    {
    }
    unsigned parameter_count() const override { return 2; }
    void basis(int coordinate, segment_side side, double t, double* coefficients) const override
    {
        vector_basis(coordinate, Weight(side, t), coefficients);
    }
    void apply_prior(double* diagonal, double* rhs) const override
    {
        apply_vector_prior(m_prior, m_target, diagonal, rhs);
    }
    void evaluate(const double* p, term_value& value) const override { value.*Field = { p[0], p[1] }; }

private:
    pointd m_target;
    term_prior m_prior;
};

using constant_point = constant_part<position_weight, &term_value::node>;
using constant_handle = constant_part<out_weight, &term_value::out>;
using free_point = free_part<position_weight, &term_value::node>;
using free_handle = free_part<out_weight, &term_value::out>;

class zero_handle final : public bezier_fit_term {
public:
    void evaluate(const double*, term_value& value) const override { value.out = { 0.0, 0.0 }; }
};

class directed_handle final : public bezier_fit_term {
public:
    directed_handle(std::size_t node, std::size_t handle, pointd prior_offset, term_prior prior)
        : m_node(node)
        , m_handle(handle)
        , m_prior_offset(prior_offset)
        , m_prior(prior)
    {
    }
    unsigned parameter_count() const override { return 1; }
    void basis(int coordinate, segment_side side, double t, double* coefficients) const override
    {
        coefficients[0] = out_weight(side, t) * (coordinate == 0 ? m_direction.x : m_direction.y);
    }
    void apply_prior(double* diagonal, double* rhs) const override
    {
        apply_scalar_prior(m_prior, m_prior.kappa2 * dot(m_direction, m_prior_offset), diagonal[0], rhs[0]);
    }
    void evaluate(const double* p, term_value& value) const override { value.out = m_direction * p[0]; }
    void load(const std::vector<pointf>& contour) override
    {
        m_direction = normalise(pointd(contour[m_handle]) - pointd(contour[m_node]));
    }

private:
    std::size_t m_node;
    std::size_t m_handle;
    pointd m_prior_offset;
    term_prior m_prior;
    pointd m_direction { 1.0, 0.0 };
};

// Common state of the two shared pairs: indices, coefficients and the
// prior offsets of both handles.
class shared_pair : public bezier_fit_term {
public:
    shared_pair(std::size_t in, std::size_t node, std::size_t out, bool symmetric, pointd prior_in,
        pointd prior_out, term_prior prior)
        : m_in(in)
        , m_node(node)
        , m_out(out)
        , m_symmetric(symmetric)
        , m_prior_in(prior_in)
        , m_prior_out(prior_out)
        , m_prior(prior)
    {
    }
    void load(const std::vector<pointf>& contour) override
    {
        if (!m_symmetric)
            m_ratio = smooth_ratio(contour, m_in, m_node, m_out, true);
        reload(contour);
    }

protected:
    virtual void reload(const std::vector<pointf>& contour) = 0;
    // The prior is taken from the handle with the larger coefficient.
    bool prior_from_in() const { return std::abs(m_ratio.a) > std::abs(m_ratio.b); }

    std::size_t m_in;
    std::size_t m_node;
    std::size_t m_out;
    bool m_symmetric;
    pointd m_prior_in;
    pointd m_prior_out;
    term_prior m_prior;
    handle_ratio m_ratio { -1.0, 1.0 };
};

class shared_free_pair final : public shared_pair {
public:
    using shared_pair::shared_pair;
    unsigned parameter_count() const override { return 2; }
    void basis(int coordinate, segment_side side, double t, double* coefficients) const override
    {
        vector_basis(coordinate, pair_weight(side, t, m_ratio.a, m_ratio.b), coefficients);
    }
    void apply_prior(double* diagonal, double* rhs) const override
    {
        apply_vector_prior(m_prior, m_target, diagonal, rhs);
    }
    void evaluate(const double* p, term_value& value) const override
    {
        const pointd u(p[0], p[1]);
        value.in = u * m_ratio.a;
        value.out = u * m_ratio.b;
    }

private:
    void reload(const std::vector<pointf>&) override
    {
        const pointd raw = prior_from_in() ? m_prior_in / m_ratio.a : m_prior_out / m_ratio.b;
        m_target = raw * m_prior.kappa2;
    }

    pointd m_target;
};

class shared_directed_pair final : public shared_pair {
public:
    using shared_pair::shared_pair;
    unsigned parameter_count() const override { return 1; }
    void basis(int coordinate, segment_side side, double t, double* coefficients) const override
    {
        coefficients[0]
            = pair_weight(side, t, m_ratio.a, m_ratio.b) * (coordinate == 0 ? m_direction.x : m_direction.y);
    }
    void apply_prior(double* diagonal, double* rhs) const override
    {
        apply_scalar_prior(m_prior, m_target, diagonal[0], rhs[0]);
    }
    void evaluate(const double* p, term_value& value) const override
    {
        value.in = m_direction * (p[0] * m_ratio.a);
        value.out = m_direction * (p[0] * m_ratio.b);
    }

private:
    // The direction comes from the handle with the larger coefficient, so
    // that a short handle does not decide it; in = a u, so the in-handle's
    // direction is divided by the sign of a.
    void reload(const std::vector<pointf>& contour) override
    {
        const pointd centre(contour[m_node]);
        if (prior_from_in()) {
            m_direction = normalise(pointd(contour[m_in]) - centre) * (m_ratio.a < 0.0 ? -1.0 : 1.0);
            m_target = m_prior.kappa2 * dot(m_direction, m_prior_in) / m_ratio.a;
        } else {
            m_direction = normalise(pointd(contour[m_out]) - centre);
            m_target = m_prior.kappa2 * dot(m_direction, m_prior_out) / m_ratio.b;
        }
    }

    pointd m_direction { 1.0, 0.0 };
    double m_target = 0.0;
};

class handleless final : public bezier_fit_term {
public:
    void evaluate(const double*, term_value& value) const override
    {
        value.in = { 0.0, 0.0 };
        value.out = { 0.0, 0.0 };
    }
};

class pair_composite : public bezier_fit_term {
public:
    pair_composite(term_ptr first, term_ptr second)
        : m_first(std::move(first))
        , m_second(std::move(second))
        , m_split(m_first->parameter_count())
    {
    }
    unsigned parameter_count() const override { return m_split + m_second->parameter_count(); }
    void subtract_known(segment_side side, double t, pointd& target) const override
    {
        m_first->subtract_known(side, t, target);
        m_second->subtract_known(side, t, target);
    }
    void basis(int coordinate, segment_side side, double t, double* coefficients) const override
    {
        m_first->basis(coordinate, side, t, coefficients);
        m_second->basis(coordinate, side, t, coefficients + m_split);
    }
    void apply_prior(double* diagonal, double* rhs) const override
    {
        m_first->apply_prior(diagonal, rhs);
        m_second->apply_prior(diagonal + m_split, rhs + m_split);
    }
    void evaluate(const double* p, term_value& value) const override
    {
        m_first->evaluate(p, value);
        m_second->evaluate(p + m_split, value);
    }
    void load(const std::vector<pointf>& contour) override
    {
        m_first->load(contour);
        m_second->load(contour);
    }

protected:
    term_ptr m_first;
    term_ptr m_second;
    unsigned m_split;
};

class mirrored_composite final : public pair_composite {
public:
    using pair_composite::pair_composite;
    void subtract_known(segment_side side, double t, pointd& target) const override
    {
        m_first->subtract_known(opposite(side), 1.0 - t, target);
        m_second->subtract_known(side, t, target);
    }
    void basis(int coordinate, segment_side side, double t, double* coefficients) const override
    {
        m_first->basis(coordinate, opposite(side), 1.0 - t, coefficients);
        m_second->basis(coordinate, side, t, coefficients + m_split);
    }
    void evaluate(const double* p, term_value& value) const override
    {
        term_value mirrored = value;
        m_first->evaluate(p, mirrored);
        value.in = mirrored.out;
        m_second->evaluate(p + m_split, value);
    }
};

} // namespace

term_ptr make_constant_point(pointd p)
{
    return std::make_shared<constant_point>(p);
}
term_ptr make_free_point(pointd prior_point, term_prior prior)
{
    return std::make_shared<free_point>(prior_point, prior);
}
term_ptr make_zero_handle()
{
    return std::make_shared<zero_handle>();
}
term_ptr make_constant_handle(pointd offset)
{
    return std::make_shared<constant_handle>(offset);
}
term_ptr make_free_handle(pointd prior_offset, term_prior prior)
{
    return std::make_shared<free_handle>(prior_offset, prior);
}
term_ptr make_directed_handle(std::size_t node, std::size_t handle, pointd prior_offset, term_prior prior)
{
    return std::make_shared<directed_handle>(node, handle, prior_offset, prior);
}
term_ptr make_shared_free_pair(std::size_t in, std::size_t node, std::size_t out, bool symmetric,
    pointd prior_in, pointd prior_out, term_prior prior)
{
    return std::make_shared<shared_free_pair>(in, node, out, symmetric, prior_in, prior_out, prior);
}
term_ptr make_shared_directed_pair(std::size_t in, std::size_t node, std::size_t out, bool symmetric,
    pointd prior_in, pointd prior_out, term_prior prior)
{
    return std::make_shared<shared_directed_pair>(in, node, out, symmetric, prior_in, prior_out, prior);
}
term_ptr make_handleless()
{
    return std::make_shared<handleless>();
}
term_ptr make_pair(term_ptr first, term_ptr second)
{
    return std::make_shared<pair_composite>(std::move(first), std::move(second));
}
term_ptr make_mirrored_pair(term_ptr in_part, term_ptr out_part)
{
    return std::make_shared<mirrored_composite>(std::move(in_part), std::move(out_part));
}

} // namespace contours
