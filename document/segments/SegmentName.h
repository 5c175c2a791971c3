#pragma once

// How the program names a segment to the user: its time span's first frame,
// its key frame in brackets and the span's last (exclusive) frame, each at
// least two digits wide, so a segment over {5, 40} keyed at 12 is
// "<05-[12]-40>". The timeline's rows and the worker's notices show it.

#include "foundation/numbers/span.h"

#include <string>

namespace My {

std::string SegmentName(const Span& span, int key);

} // namespace My
