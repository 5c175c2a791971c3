#pragma once

#include <vector>

// The point types of contour fitting. `pointf` is the stored form of contour
// points, handles and outline vertices (the engine's frame records, the
// project document and contour fitting all speak it); `pointd` carries the
// intermediate points and vectors of the fit numerics.

struct pointf {
    float x = 0.0f;
    float y = 0.0f;

    constexpr pointf() = default;
    constexpr pointf(float x_, float y_)
        : x(x_)
        , y(y_)
    {
    }

    friend constexpr pointf operator+(pointf a, pointf b) { return { a.x + b.x, a.y + b.y }; }
    friend constexpr pointf operator-(pointf a, pointf b) { return { a.x - b.x, a.y - b.y }; }
    // The product is formed in double precision and stored as float.
    friend constexpr pointf operator*(pointf a, double s)
    {
        return { static_cast<float>(a.x * s), static_cast<float>(a.y * s) };
    }
    friend constexpr pointf operator*(double s, pointf a) { return a * s; }
    friend constexpr bool operator==(pointf a, pointf b) { return a.x == b.x && a.y == b.y; }
};

struct pointd {
    double x = 0.0;
    double y = 0.0;

    constexpr pointd() = default;
    constexpr pointd(double x_, double y_)
        : x(x_)
        , y(y_)
    {
    }
    constexpr explicit pointd(pointf p)
        : x(p.x)
        , y(p.y)
    {
    }

    constexpr pointf to_float() const { return { static_cast<float>(x), static_cast<float>(y) }; }

    pointd& operator+=(pointd b)
    {
        x += b.x;
        y += b.y;
        return *this;
    }
    pointd& operator-=(pointd b)
    {
        x -= b.x;
        y -= b.y;
        return *this;
    }
    friend constexpr pointd operator+(pointd a, pointd b) { return { a.x + b.x, a.y + b.y }; }
    friend constexpr pointd operator-(pointd a, pointd b) { return { a.x - b.x, a.y - b.y }; }
    friend constexpr pointd operator-(pointd a) { return { -a.x, -a.y }; }
    friend constexpr pointd operator*(pointd a, double s) { return { a.x * s, a.y * s }; }
    friend constexpr pointd operator*(double s, pointd a) { return { a.x * s, a.y * s }; }
    friend constexpr pointd operator/(pointd a, double s) { return { a.x / s, a.y / s }; }
    friend constexpr bool operator==(pointd a, pointd b) { return a.x == b.x && a.y == b.y; }
};

namespace contours {

constexpr double dot(pointd a, pointd b)
{
    return a.x * b.x + a.y * b.y;
}
// The z component of the cross product a x b.
constexpr double cross(pointd a, pointd b)
{
    return a.x * b.y - a.y * b.x;
}
constexpr double norm2(pointd a)
{
    return a.x * a.x + a.y * a.y;
}

// Whether every coordinate is a finite number.
bool all_finite(const std::vector<pointf>& points);

} // namespace contours
