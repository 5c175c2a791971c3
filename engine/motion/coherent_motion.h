#pragma once

// Coherent motion: one integer displacement per motion segment, chosen so
// that the segments' scores are high and neighbouring segments move alike (a
// data term plus a smoothness term weighted by mu, maximised segment by
// segment), alternated with fitting a motion model to the displacements.

#include <iosfwd>

#include "engine/motion/affine_motion.h"
#include "engine/motion/motion_models.h"
#include "engine/motion/motion_segmentation.h"
#include "engine/motion/random15.h"

namespace trm {

struct coherent_motion_param {
    // Weight of the neighbours' scores in the initial approximation.
    float neighbour_weight = 1.0f;
    // Steps of one maximisation. Negative: no initial approximation and no
    // first maximisation, base displacements set to zero, and the later
    // maximisations capped at uncapped_step_limit steps.
    int max_iterations = 30;
    // Relative change below which a maximisation stops.
    float tolerance = 0.01f;
    // 0: mu stays fixed; 1: rebalanced at the first evaluation of each
    // maximisation; 2: at every evaluation.
    int mu_update = 2;
    // Smoothness weight at the start of each maximisation.
    float mu = 1000.0f;
    // Share of the data term when mu is rebalanced.
    float lambda = 0.8f;
    motion_model model = motion_model::affine;
    // Fit, seed and maximise rounds.
    int rounds = 2;
    // After the last fit, seed the displacements from it once more.
    bool final_seed = true;
};

// Steps of a maximisation when max_iterations is negative.
inline constexpr int uncapped_step_limit = 1000;

// The stage entry: writes the motion fitted to the segments' displacements
// to `out` (the identity when there are fewer than 10 segments or when the
// segments have no score windows, as after profiles that could not be built)
// and leaves the chosen displacements in the segments. Ties of the initial
// approximation are broken with `random`, the calculation's generator. The
// progress of the maximisation goes to `log`.
void find_coherent_motion(motion_segmentation& segmentation, affine_motion& out,
    const coherent_motion_param& p, random15& random, std::ostream& log);

// The sum over segments of the score of their current displacement.
double motion_quality(const motion_segmentation& segmentation);

} // namespace trm
