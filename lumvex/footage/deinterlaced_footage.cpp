#include "lumvex/footage/deinterlaced_footage.h"

#include "lumvex/exception.h"
#include "lumvex/footage/deinterlace.h"
#include "lumvex/footage/deinterlaced_item_id.h"

#include <climits>
#include <cstdint>
#include <utility>

namespace lumvex {

namespace {

boost::shared_ptr<footage> checked_supplier(boost::shared_ptr<footage> supplier)
{
    if (!supplier)
        throw exception("no footage to deinterlace");
    if (supplier->fields() != deinterlace_fields::off)
        throw exception("nested deinterlacing is not allowed");
    return supplier;
}

// The supplier frame of a frame: n / 2 rounded down, so that the frames
// below 0 map below 0 and the supplier refuses them as it refuses its own
// (rounding toward zero would hand frame -1 supplier frame 0).
int supplier_frame(int frame)
{
    return frame >> 1;
}

} // namespace

deinterlaced_footage::deinterlaced_footage(
    boost::shared_ptr<footage> supplier, deinterlace_fields fields, deinterlace_method method)
    : m_supplier(checked_supplier(std::move(supplier)))
{
    set_fields(fields);
    set_method(method);
}

deinterlaced_footage::deinterlaced_footage(boost::shared_ptr<footage> supplier)
    : m_supplier(checked_supplier(std::move(supplier)))
{
}

boost::shared_ptr<footage> deinterlaced_footage::wrap(
    boost::shared_ptr<footage> footage, deinterlace_fields fields, deinterlace_method method)
{
    if (fields == deinterlace_fields::off)
        return footage;
    return boost::shared_ptr<lumvex::footage>(new deinterlaced_footage(std::move(footage), fields, method));
}

bool deinterlaced_footage::keeps_upper(int frame) const
{
    const bool even = frame % 2 == 0;
    return fields() == deinterlace_fields::lower_first ? !even : even;
}

boost::shared_ptr<item_id> deinterlaced_footage::frame_id(int frame)
{
    return boost::shared_ptr<item_id>(
        new deinterlaced_item_id(m_supplier->image_cache(), m_supplier->frame_id(supplier_frame(frame)),
            keeps_upper(frame), method() == deinterlace_method::interpolate));
}

boost::shared_ptr<cached_image> deinterlaced_footage::frame(int frame, int request, bool wait)
{
    boost::shared_ptr<cached_image> result = cached_frame(frame);
    if (result) {
        // A neighbour the caller will want next that is missing lets the
        // supplier read ahead below.
        bool missing = false;
        if ((request & frame_request::before) != 0 && frame >= 2)
            missing = !image_cache()->contains(frame_id(frame - 2), placement::keep);
        if (!missing && (request & frame_request::after) != 0 && frame < frame_count() - 2)
            missing = !image_cache()->contains(frame_id(frame + 2), placement::keep);
        if (!missing)
            return result;
    }
    const boost::shared_ptr<cached_image> source = m_supplier->frame(supplier_frame(frame), request, wait);
    if (wait && !result && source) {
        const boost::shared_ptr<item_id> key = frame_id(frame);
        const auto* id = static_cast<const deinterlaced_item_id*>(key.get());
        result.reset(new cached_image(key));
        deinterlace(source->image, result->image, id->upper(), id->interpolate());
        image_cache()->put(result, placement::back);
    }
    return result;
}

boost::shared_ptr<cached_image> deinterlaced_footage::cached_frame(int frame)
{
    return image_cache()->find(frame_id(frame), placement::back);
}

void deinterlaced_footage::serialize(xml::stream& stream, const std::string& base_path)
{
    if (stream.reading) {
        check_footage_type(stream, "dil", "couldn't initialize Deinterlaced Footage from XML stream");
        const auto fields = stream.read<deinterlace_fields>("field");
        if (fields == deinterlace_fields::off)
            throw exception("bad value of deinterlace field value");
        const auto method = stream.read<deinterlace_method>("method");
        set_fields(fields);
        set_method(method);
        return;
    }
    stream.write("type", std::string("dil"));
    stream.write("field", fields());
    stream.write("method", method());
    xml::stream supplier = stream.child("supplier");
    m_supplier->serialize(supplier, base_path);
}

int deinterlaced_footage::frame_count() const
{
    const std::int64_t count = std::int64_t(m_supplier->frame_count()) * 2;
    return count > INT_MAX ? INT_MAX : static_cast<int>(count);
}

void deinterlaced_footage::set_fields(deinterlace_fields fields)
{
    if (fields != deinterlace_fields::off)
        m_fields.store(fields, std::memory_order_relaxed);
}

fraction deinterlaced_footage::frame_rate() const
{
    fraction rate = m_supplier->frame_rate();
    // A numerator that cannot double gives the doubled rate by halving an
    // even denominator instead; with an odd one the numerator saturates.
    if (rate.numerator > INT_MAX / 2 || rate.numerator < INT_MIN / 2) {
        if (rate.denominator % 2 == 0)
            rate.denominator /= 2;
        else
            rate.numerator = rate.numerator > 0 ? INT_MAX : INT_MIN;
        return rate;
    }
    rate.numerator *= 2;
    return rate;
}

} // namespace lumvex
