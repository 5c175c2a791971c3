#pragma once

// The benchmark case of the engine's per-frame stages: a tracked 720 x 576
// frame pair, the target's object turned by 1 degree and moved 3 pixels right
// and 2 down from the reference's. Built once, on first use.

#include "engine/tests/synthetic_scene.h"

namespace trm::testing {

struct tracked_pair {
    synthetic_scene reference = make_scene(720, 576);
    synthetic_scene target = make_scene(720, 576, turn_and_shift(720, 576, 0.01745, 3.0, 2.0));
};

inline const tracked_pair& tracked_frames()
{
    static const tracked_pair pair;
    return pair;
}

} // namespace trm::testing
