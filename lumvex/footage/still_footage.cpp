#include "lumvex/footage/still_footage.h"

#include "lumvex/files/image_codec.h"
#include "lumvex/footage/still_image_id.h"
#include "lumvex/path.h"

#include <stdexcept>

namespace lumvex {

still_footage::still_footage(const std::string& path, cache* image_cache)
    : m_cache(image_cache)
{
    if (!path.empty())
        open(path);
}

void still_footage::open(const std::string& path)
{
    const std::string full = paths::full_path(path.c_str());
    img::image_info info;
    const std::string native = paths::native(full);
    if (!img::default_readers().info(native, &info))
        throw std::runtime_error(img::unreadable_image_text(img::default_readers(), native, full));
    m_path = full;
    m_width = info.width;
    m_height = info.height;
    m_has_alpha = info.bits_per_pixel == 32;
}

boost::shared_ptr<item_id> still_footage::frame_id(int)
{
    return boost::shared_ptr<item_id>(new still_image_id(m_path));
}

boost::shared_ptr<cached_image> still_footage::frame(int frame, int, bool)
{
    return m_cache->get(frame_id(frame), placement::back);
}

boost::shared_ptr<cached_image> still_footage::cached_frame(int frame)
{
    return m_cache->find(frame_id(frame), placement::back);
}

void still_footage::serialize(xml::stream& stream, const std::string& base_path)
{
    if (stream.reading)
        open(read_footage_file(
            stream, "still", "path", base_path, "couldn't initialize Still Footage from XML stream"));
    else
        write_footage_file(stream, "still", "path", m_path, base_path);
}

std::string still_footage::description() const
{
    return "image '" + m_path + "'";
}

} // namespace lumvex
