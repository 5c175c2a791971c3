#pragma once

#include "foundation/numbers/extent.h"

#include <mutex>
#include <set>
#include <string>

namespace lumvex {

// Tells on the diagnostic stream, once per file, that a file of a footage
// holds a picture of another size than the footage's frames, which are
// fitted to the frame size. Any thread may tell.
class frame_size_notes {
public:
    // `owner`: the footage's description, which opens each note.
    explicit frame_size_notes(std::string owner);

    void tell(const std::string& path, types::extent<unsigned> found, types::extent<unsigned> frame_size);

private:
    std::string m_owner;
    std::mutex m_lock;
    std::set<std::string> m_told;
};

} // namespace lumvex
