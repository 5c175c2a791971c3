#pragma once

#include "lumvex/footage/footage.h"

#include <string>

namespace lumvex {

// One image file shown as a footage of one frame. Its frame is produced in
// the asking thread by the file's still_image_id, so every frame number gives
// the same cache entry. No thread of its own.
class still_footage final : public footage_simple_impl {
public:
    // Opens `path` when it is not empty. `image_cache` (not owned) must
    // outlive the footage.
    still_footage(const std::string& path, cache* image_cache);

    // Takes the full path of `path` and reads the image's size and depth
    // through the library's reader list. Throws std::runtime_error "could not
    // read file or unknown image format: " + full path, the footage
    // unchanged, when no reader takes the file; for a file too large to be
    // read, "the image is too large: " with its size and the limit, ": " and
    // the full path.
    void open(const std::string& path);

    boost::shared_ptr<item_id> frame_id(int frame) override;
    // The cache's `get` (placement back); the request bits and `wait` do not
    // matter. A file that has become unreadable fails here.
    boost::shared_ptr<cached_image> frame(int frame, int request, bool wait) override;
    boost::shared_ptr<cached_image> cached_frame(int frame) override;
    cache* image_cache() const override { return m_cache; }
    // "type" "still" and "path" relative to `base_path`; reading reopens.
    void serialize(xml::stream& stream, const std::string& base_path) override;
    std::string path() const override { return m_path; }
    // "image '" + path + "'".
    std::string description() const override;
    int frame_count() const override { return 1; }
    int first_frame_number() const override { return 0; }
    types::extent<unsigned> frame_size() const override { return { m_width, m_height }; }
    // The file has 32 bits per pixel.
    bool has_alpha() const override { return m_has_alpha; }
    fraction frame_rate() const override { return {}; }

private:
    cache* m_cache;
    std::string m_path;
    unsigned m_width = 0;
    unsigned m_height = 0;
    bool m_has_alpha = false;
};

} // namespace lumvex
