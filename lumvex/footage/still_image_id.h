#pragma once

#include "lumvex/cache/cache.h"
#include "lumvex/cache/file_stamp.h"
#include "lumvex/footage/frame_size_notes.h"

#include <memory>
#include <optional>
#include <string>

namespace lumvex {

// The cache key of an image file, produced in the asking thread by reading
// the file through the library's reader list. Never kept on disc.
class still_image_id : public item_id {
public:
    // Takes the file's stamp as it is now, so that a key made after the file
    // was rewritten names the new picture.
    explicit still_image_id(std::string path);
    // The key of the file's picture as a frame of `frame_size`: placed at the
    // top-left corner, clipped where the file is larger and black where it
    // is smaller, so that every frame of a footage has the footage's size.
    // `notes` (may be null) tells of a file of another size.
    still_image_id(
        std::string path, types::extent<unsigned> frame_size, std::shared_ptr<frame_size_notes> notes);

    // Equal to a still_image_id (or derived) of exactly the same path, file
    // stamp and frame size (a picture at its own size and one fitted to a
    // frame size are different images, even where the sizes agree): file
    // names that differ only in letter case name different files here.
    bool equals(const item_id& other) const override;
    // The file name without folder and extension.
    std::string key() const override;
    // "copy of image:" and a line feed, then the path.
    void describe(std::ostream& out) const override;
    bool can_produce() const override { return true; }
    // Reads the file (and fits it to the frame size); the readers' errors
    // pass on.
    void produce(img::image<img::BGRA<unsigned char>>& target) const override;
    bool threaded() const override { return false; }
    void request() const override { }
    bool disc_cacheable() const override { return false; }

    const std::string& path() const { return m_path; }
    const file_stamp& stamp() const { return m_stamp; }

private:
    std::string m_path;
    file_stamp m_stamp;
    std::optional<types::extent<unsigned>> m_frame_size;
    std::shared_ptr<frame_size_notes> m_notes;
};

// Rebuilds a still_image_id from "copy of image:" (exactly, up to the line
// feed) followed by the path line.
class still_image_id_deserializer : public item_id_deserializer {
public:
    boost::shared_ptr<item_id> deserialize(std::istream& description) const override;
};

} // namespace lumvex
