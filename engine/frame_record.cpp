#include "engine/frame_record.h"

#include <string>

#include <boost/make_shared.hpp>

#include "foundation/files/image_error.h"
#include "foundation/xml/xml_stream.h"

namespace trm {

namespace {

void serialize_contour(xml::stream& s, std::vector<pointf>& contour)
{
    if (s.reading) {
        std::vector<xml::node> controls;
        s.select(controls, "control");
        contour.clear();
        contour.reserve(controls.size());
        for (const xml::node& control : controls)
            contour.emplace_back(control.read("x", 0.0f), control.read("y", 0.0f));
        return;
    }
    for (const pointf& point : contour) {
        xml::stream control = s.child("control");
        if (point.x != 0.0f)
            control.write("x", point.x);
        if (point.y != 0.0f)
            control.write("y", point.y);
    }
}

void serialize_motion(xml::stream& s, affine_motion& motion)
{
    const affine_motion identity;
    const std::pair<const char*, double affine_motion::*> fields[] = {
        { "x", &affine_motion::x },
        { "y", &affine_motion::y },
        { "xx", &affine_motion::xx },
        { "xy", &affine_motion::xy },
        { "yx", &affine_motion::yx },
        { "yy", &affine_motion::yy },
    };
    for (const auto& [name, field] : fields) {
        if (s.reading)
            motion.*field = s.read(name, identity.*field);
        else if (motion.*field != identity.*field)
            s.write(name, motion.*field);
    }
}

std::string size_text(types::extent<unsigned> size)
{
    return std::to_string(size.width) + " x " + std::to_string(size.height);
}

// Both directions; when loading with a frame size, masks are held to it.
void serialize_record(xml::stream& s, frame_record& record, const types::extent<unsigned>* frame_size)
{
    xml::stream bit_mask = s.child("bit_mask");
    if (s.reading && frame_size) {
        if (const auto claimed = read_bit_image(bit_mask, record.bit_mask, *frame_size))
            throw mask_size_error("mask", *claimed, *frame_size);
    } else {
        serialize_bit_image(bit_mask, record.bit_mask);
    }
    xml::stream grey_mask = s.child("grey_mask");
    grey_mask || record.grey_mask;
    if (s.reading && frame_size && !is_empty(record.grey_mask)) {
        std::optional<types::extent<unsigned>> claimed;
        try {
            claimed = encoded_size(record.grey_mask.bytes());
        } catch (const img::io_error&) {
        }
        if (claimed && *claimed != *frame_size)
            throw mask_size_error("grey mask", *claimed, *frame_size);
    }
    xml::stream contour = s.child("contour");
    serialize_contour(contour, record.contour);

    if (s.reading)
        record.ref_frame = s.read("ref_frame", -1);
    else if (record.ref_frame != -1)
        s.write("ref_frame", record.ref_frame);
    if (s.reading || record.ref_frame != -1) {
        xml::stream motion = s.child("motion");
        serialize_motion(motion, record.motion);
    }
}

} // namespace

mask_size_error::mask_size_error(
    const std::string& mask, types::extent<unsigned> claimed, types::extent<unsigned> frame)
    : std::runtime_error(
        "the " + mask + " is " + size_text(claimed) + " pixels, the frame " + size_text(frame))
{
}

boost::shared_ptr<frame_record> copy_without_grey_mask(const frame_record& record)
{
    auto copy = boost::make_shared<frame_record>();
    copy->bit_mask = record.bit_mask;
    copy->contour = record.contour;
    copy->ref_frame = record.ref_frame;
    if (record.ref_frame != -1)
        copy->motion = record.motion;
    return copy;
}

xml::stream& operator||(xml::stream& s, frame_record& record)
{
    serialize_record(s, record, nullptr);
    return s;
}

void read_frame_record(xml::stream& s, frame_record& record, types::extent<unsigned> frame_size)
{
    serialize_record(s, record, &frame_size);
}

} // namespace trm
