#pragma once

#include "contours/point.h"

#include <vector>

namespace contours {

// One frame's contour together with its time (the frame's number, counted
// from the first frame handed to the key-frame choice).
struct outline {
    struct vertex {
        float x;
        float y;
        float time;
    };

    std::vector<pointf> points;
    float time = 0.0f;

    vertex at(std::size_t i) const { return { points[i].x, points[i].y, time }; }
};

// Equal point counts and every coordinate equal as floats; times are not
// compared.
bool outlines_equal(const outline& a, const outline& b);

// Chooses the fewest key frames such that interpolating every contour point
// linearly in time between consecutive key frames reproduces the other
// frames within `bound` (a total squared error over all points and frames).
// `keys` receives the chosen frames as indices into `frames`, ascending,
// starting with 0 and without the last frame (the caller adds it); it stays
// empty for fewer than two frames. The returned keys meet the bound whenever
// any choice does (making every frame a key always does for a bound of 0 or
// more). When the first and last contours are equal (a cyclic run), the
// choice may start the cycle elsewhere; frame 0, which equals the last frame,
// is then still among the keys, and that choice is kept only when it meets
// the bound with no more keys and no larger error than the choice that
// starts at frame 0. Returns the total squared error of the returned choice.
//
// Throws std::runtime_error when the outlines do not all have as many points
// as the first. Memory grows with the number of frames times the number of
// rounds needed (at most the number of frames).
double select_key_frames(const std::vector<outline>& frames, double bound, std::vector<int>& keys);

} // namespace contours
