#pragma once

// The label step of the time ruler and the frames it labels. The widths of
// label texts come from an injected measurer, so that the steps are the same
// whatever font a display has.

#include <functional>
#include <string>
#include <vector>

namespace My {

struct TimeAxis;

// Pixel width of a text in the ruler's font.
using TextMeasurer = std::function<int(const std::string&)>;

// "%02df" of the frame: 05f, 120f, -3f.
std::string RulerLabel(int frame);

// The smallest step of the series 1, 2, 5, 10, 20, 50, ... that leaves room
// for the widest of five labels from ceil(offset) on, at `scale` pixels per
// frame (at most five refinements). 1 for a scale that is not positive.
int RulerStep(double offset, double scale, const TextMeasurer& measure);

// The frames that get a tick over the pixels left .. right: multiples of the
// step, within first .. first + count (both ends included).
std::vector<int> RulerTicks(const TimeAxis& axis, int step, int left, int right, int first, int count);

} // namespace My
