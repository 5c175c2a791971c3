#pragma once

// What the video view knows when it names a frame for painting, and the
// building of that name: the style actually shown at a frame (which the
// composition's state may narrow) and the painting key. UI thread only; the
// key built is then handed to the painter or render threads.

#include "app/display/DisplayStyle.h"

#include <boost/shared_ptr.hpp>

class PaintingKey;
class TLComp;
class TLSegment;

struct PaintingSource {
    // The composition shown (not owned).
    const TLComp* composition = nullptr;
    // The view's display style.
    DisplayStyle style;
    // The mask editor edits a key mask: only the footage is shown.
    bool editingMask = false;
    // The player follows the processing.
    bool following = false;
    // The segment processing last reported progress of, or null.
    TLSegment* progressSegment = nullptr;
};

// The style shown at a frame and what it shows.
struct EffectiveStyle {
    DisplayStyle style;
    // The segment whose layer alone is shown (follow mode or selection);
    // null otherwise.
    TLSegment* segment = nullptr;
    // No segment followed or selected: the layers of every segment showing
    // the frame are combined.
    bool byPosition = false;
    // The background's frame at the composition frame, -1 when it shows none.
    int backgroundFrame = -1;
};

// While the mask editor edits: Foreground Only and nothing else. Otherwise
// Background Only and Composition fall back to Foreground Only and Matted
// Foreground where the background shows nothing; the segment is the followed
// one (following, when one reported progress), else the selected one, else
// the one found at the frame (by position); the smooth flag is cleared when
// that segment has no grey mask there; without a segment or its mask there,
// Matted Foreground and Composition become Foreground Only and a followed or
// selected segment is dropped.
EffectiveStyle GetEffectiveStyle(const PaintingSource& source, int frame);

// The key of a composition frame under the effective style: the mask layers
// (all segments' by position, else the one segment's with mode None shown
// as Add) unless the type shows footage only, the composition's footage and
// frame, and for Background Only and Composition the background's footage
// and frame. An empty pointer while the composition has no footage.
boost::shared_ptr<PaintingKey> MakePaintingKey(const PaintingSource& source, int frame);
