#include "lumvex/avi/avi_frame_id.h"

#include "lumvex/path.h"

#include <cstdio>
#include <istream>
#include <locale>
#include <ostream>
#include <typeinfo>
#include <utility>

namespace lumvex {

namespace {

const char* const header = "AVI frame: (fullpath to avi, its duration, frame number)";

} // namespace

avi_frame_id::avi_frame_id(int frame, std::string path, int duration, bool cacheable, file_stamp stamp)
    : m_frame(frame)
    , m_path(std::move(path))
    , m_duration(duration)
    , m_cacheable(cacheable)
    , m_stamp(stamp)
{
}

bool avi_frame_id::equals(const item_id& other) const
{
    // The plain key is by far the most common argument; spare it the full
    // dynamic cast, which the cache would pay for every listed entry.
    const avi_frame_id* frame = typeid(other) == typeid(avi_frame_id)
        ? static_cast<const avi_frame_id*>(&other)
        : dynamic_cast<const avi_frame_id*>(&other);
    return frame != nullptr && m_frame == frame->m_frame && m_duration == frame->m_duration
        && m_stamp == frame->m_stamp && m_path == frame->m_path;
}

std::string avi_frame_id::key() const
{
    char number[16];
    std::snprintf(number, sizeof number, "%06d", m_frame);
    return paths::file_name(m_path) + '.' + number;
}

void avi_frame_id::describe(std::ostream& out) const
{
    out << header << '\n' << m_path << '\n' << m_duration << '\n' << m_frame << '\n' << m_stamp << '\n';
}

boost::shared_ptr<item_id> avi_frame_id_deserializer::deserialize(std::istream& description) const
{
    std::string path;
    if (!read_header_and_path(description, header, path))
        return {};
    description.imbue(std::locale::classic());
    int duration = 0;
    int frame = 0;
    description >> duration >> frame;
    if (description.fail())
        return {};
    file_stamp stamp;
    description >> stamp;
    return boost::shared_ptr<item_id>(new avi_frame_id(frame, path, duration, true, stamp));
}

} // namespace lumvex
