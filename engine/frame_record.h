#pragma once

// The computed result of one frame of a segment.

#include <stdexcept>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "contours/point.h"
#include "engine/encoded_image.h"
#include "engine/motion/affine_motion.h"
#include "foundation/image/image.h"
#include "foundation/numbers/extent.h"

namespace xml {
class stream;
}

namespace trm {

// Shared by boost::shared_ptr between the segment's table and its readers
// (painting, export). Once stored in a table a record is never changed:
// every change of a frame's result stores a new record, so a reader holding
// the pointer may use it on any thread without a lock.
struct frame_record {
    // The crisp mask; the frame has a mask when its buffer is not null.
    img::image<img::bit> bit_mask;
    // The smoothed 8-bit mask as PNG bytes; empty when there is none.
    encoded_image grey_mask;
    // Bezier control points (node, out-handle, in-handle, node, ...); empty
    // when the contour stage did not run.
    std::vector<pointf> contour;
    // From the reference frame to this one; meaningful only when ref_frame
    // is not -1.
    affine_motion motion;
    // The frame this record was tracked from; -1 for none.
    int ref_frame = -1;
};

// A new record with a copy of the bit mask and the contour, the same
// ref_frame, the motion when ref_frame is not -1, and no grey mask.
boost::shared_ptr<frame_record> copy_without_grey_mask(const frame_record& record);

// The frame-record element ("twomasks"): children "bit_mask", "grey_mask"
// and "contour" (one "control" child per point, "x" and "y" written when not
// 0), attribute "ref_frame" when not -1 and then a child "motion" whose six
// attributes are written when they differ from the identity. Missing items
// load as their defaults. Throws img::io_error when a mask's text is no
// image, xml::ambiguous when a child appears twice.
xml::stream& operator||(xml::stream& s, frame_record& record);

// A mask of a record being loaded claims another size than the frame's.
// The text reads, for instance, "the mask is 4 x 4 pixels, the frame 8 x 8".
class mask_size_error : public std::runtime_error {
public:
    mask_size_error(const std::string& mask, types::extent<unsigned> claimed, types::extent<unsigned> frame);
};

// Loads a frame-record element whose masks must have `frame_size`, as
// operator|| does, but every mask's picture header is read first: the crisp
// or the grey mask claiming another size throws mask_size_error before
// anything is decoded. A grey mask whose header cannot be read is kept as
// it is (its bytes are only decoded when it is used). Otherwise throws as
// operator|| does.
void read_frame_record(xml::stream& s, frame_record& record, types::extent<unsigned> frame_size);

} // namespace trm
