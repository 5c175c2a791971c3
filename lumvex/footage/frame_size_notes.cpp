#include "lumvex/footage/frame_size_notes.h"

#include <iostream>
#include <utility>

namespace lumvex {

namespace {

std::string size_text(types::extent<unsigned> size)
{
    return std::to_string(size.width) + " x " + std::to_string(size.height);
}

} // namespace

frame_size_notes::frame_size_notes(std::string owner)
    : m_owner(std::move(owner))
{
}

void frame_size_notes::tell(
    const std::string& path, types::extent<unsigned> found, types::extent<unsigned> frame_size)
{
    {
        std::lock_guard locked(m_lock);
        if (!m_told.insert(path).second)
            return;
    }
    std::clog << m_owner << ": " << path << " is " << size_text(found) << " pixels, not "
              << size_text(frame_size) << "; it is placed at the top-left corner of the frame" << std::endl;
}

} // namespace lumvex
