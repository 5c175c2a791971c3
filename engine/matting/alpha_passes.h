#pragma once

// The pass loop shared by the matting and smoothing stages, with their
// diagnostic lines: each pass visits the pixels of a band in serpentine
// order, with the window sums carried to each, and updates them until a
// pass changes nothing.

#include <algorithm>
#include <atomic>
#include <ostream>
#include <vector>

#include "engine/common/thread_pool.h"
#include "engine/matting/sliding_window.h"
#include "foundation/image/image.h"

namespace trm {

// For pass = 1 to `passes`: logs "pass " pass "/" passes (flushed), calls
// start(), visits every pixel of `band` in serpentine order with a copy of
// `sums` moved to its window and calls update(x, y, sums), which returns true
// when it changed the pixel (in the stage's working copy) and false otherwise
// (the pixel then leaves the band); then logs ": checked = " N ", alpha
// changes = " N. A pass without changes ends the loop; otherwise
// finish(pass) takes the working copy over and grows the band. Nothing is
// logged when `quiet`.
//
// Bands of rows run on the engine's threads, each with its own copy of the
// sums: the sums are integers, so a window's sums do not depend on the path
// that led there, and update may run for several pixels at once as long as
// it writes only its own pixel's output.
template <class Sums, class Start, class Update, class Finish>
void alpha_passes(unsigned width, unsigned height, int half, int passes, bool quiet, std::ostream& log,
    img::image<img::bit>& band, Sums& sums, Start&& start, Update&& update, Finish&& finish)
{
    for (int pass = 1; pass <= passes; ++pass) {
        if (!quiet)
            log << "pass " << pass << '/' << passes << std::flush;
        start();
        std::atomic<unsigned> checked { 0 };
        std::atomic<unsigned> changes { 0 };
        parallel_rows(height, [&](unsigned y0, unsigned y1) {
            Sums local = sums;
            sliding_window<Sums> window(width, height, static_cast<unsigned>(half));
            std::vector<unsigned> row;
            unsigned band_checked = 0;
            unsigned band_changes = 0;
            for (unsigned y = y0; y < y1; ++y) {
                set_pixels_of_row(band, y, row);
                if (y & 1u)
                    std::reverse(row.begin(), row.end());
                for (unsigned x : row) {
                    ++band_checked;
                    window.move_to(x, y, local);
                    if (update(x, y, static_cast<const Sums&>(local)))
                        ++band_changes;
                    else
                        band.at(x, y) = false;
                }
            }
            checked += band_checked;
            changes += band_changes;
        });
        if (!quiet)
            log << ": checked = " << checked.load() << ", alpha changes = " << changes.load() << std::endl;
        if (changes == 0)
            return;
        finish(pass);
    }
}

} // namespace trm
