#include "lumvex/footage/still_image_id.h"

#include "lumvex/files/image_codec.h"
#include "lumvex/path.h"

#include <istream>
#include <ostream>
#include <utility>

namespace lumvex {

namespace {

const char* const header = "copy of image:";

} // namespace

still_image_id::still_image_id(std::string path)
    : m_path(std::move(path))
    , m_stamp(file_stamp::of(m_path))
{
}

still_image_id::still_image_id(
    std::string path, types::extent<unsigned> frame_size, std::shared_ptr<frame_size_notes> notes)
    : m_path(std::move(path))
    , m_stamp(file_stamp::of(m_path))
    , m_frame_size(frame_size)
    , m_notes(std::move(notes))
{
}

bool still_image_id::equals(const item_id& other) const
{
    const auto* still = dynamic_cast<const still_image_id*>(&other);
    return still != nullptr && m_stamp == still->m_stamp && m_frame_size == still->m_frame_size
        && m_path == still->m_path;
}

std::string still_image_id::key() const
{
    return paths::file_name(m_path);
}

void still_image_id::describe(std::ostream& out) const
{
    out << header << '\n' << m_path;
}

void still_image_id::produce(img::image<img::BGRA<unsigned char>>& target) const
{
    img::default_readers().read(paths::native(m_path), target);
    if (!m_frame_size || (target.width == m_frame_size->width && target.height == m_frame_size->height))
        return;
    if (m_notes)
        m_notes->tell(m_path, { target.width, target.height }, *m_frame_size);
    img::image<img::BGRA<unsigned char>> fitted;
    img::place_top_left(
        fitted, target, m_frame_size->width, m_frame_size->height, img::BGRA<unsigned char> { 0, 0, 0, 255 });
    target.swap(fitted);
}

boost::shared_ptr<item_id> still_image_id_deserializer::deserialize(std::istream& description) const
{
    std::string path;
    if (!read_header_and_path(description, header, path))
        return {};
    return boost::shared_ptr<item_id>(new still_image_id(path));
}

} // namespace lumvex
