#pragma once

// The mapping between frames and pixels of the timeline, as plain values so
// that every control and the benchmarks share one formula.
//
// A time area of width W keeps a margin m on each side; W / s frames
// (s the time scale) are spread over the W - 2m pixels between the margins,
// starting at frame t0 (the time offset). A time area of 2m pixels or less
// holds no frame: every mapping then answers as for an empty sequence.

namespace My {

// The nearest integer, halves away from zero (2.5 -> 3, -2.5 -> -3).
int RoundHalfAway(double value);

struct TimeAxis {
    int width = 0; // W
    int margin = 15; // m
    double scale = 1.0; // s
    double offset = 0.0; // t0

    // True when the time area has no room between its margins.
    bool IsDegenerate() const { return width <= 2 * margin; }
    // The frame at x (a double); t0 for a degenerate axis.
    double XToTime(int x) const;
    // The pixel of frame t, floor(...+ 0.5) + m; m for a degenerate axis.
    int TimeToX(double t) const;
    // The frame under x, rounded halves away from zero.
    int FrameAt(int x) const { return RoundHalfAway(XToTime(x)); }
    // Frames visible in the time area: W / s.
    double VisibleFrames() const { return width / scale; }
};

// The navigator's own mapping of the whole sequence (frames first ..
// first + count) over its full width.
struct NavigatorAxis {
    int width = 0;
    int margin = 15;
    int first = 0;
    int count = 0;

    bool IsDegenerate() const { return width <= 2 * margin || count <= 0; }
    int TimeToX(double t) const;
    double XToTime(int x) const;
};

} // namespace My
