#pragma once

// The footage of a project whose footage file (the object's or the
// background's) could not be found: it keeps the footage's element as the
// project stored it, so that saving the project writes it back (its file
// paths re-made relative to the folder saved to), and shows black frames of
// the composition's size in place of the missing ones, so the segments and
// their masks, and the background's placing, stay as they were. The size
// and length are those the project's segments and spans imply.

#include "lumvex/footage/footage.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class MissingFootage : public lumvex::footage_simple_impl {
public:
    // A copy of one element of the project: name, attributes in document
    // order, children. File attributes ("path", "filter") hold absolute
    // paths.
    struct Element {
        std::string name;
        std::vector<std::pair<std::string, std::string>> attributes;
        std::vector<Element> children;
    };

    // `missing` is the file (or file pattern) looked for, an absolute path
    // in the system's form.
    MissingFootage(Element element, std::string missing);

    void SetFrameCount(int count) { m_frameCount = count; }
    void SetFrameSize(types::extent<unsigned> size) { m_size = size; }
    // The stored element is a still image's.
    bool StandsForStill() const;

    boost::shared_ptr<lumvex::item_id> frame_id(int frame) override;
    // A black frame, made on each call; never cached.
    boost::shared_ptr<lumvex::cached_image> frame(int frame, int request, bool wait) override;
    boost::shared_ptr<lumvex::cached_image> cached_frame(int frame) override;
    // None: the frames are made, not read.
    lumvex::cache* image_cache() const override { return nullptr; }
    // Writing puts the stored element back; reading throws (this footage is
    // only made by the project's loading).
    void serialize(xml::stream& stream, const std::string& base_path) override;
    // The path looked for.
    std::string path() const override { return m_missing; }
    std::string description() const override;
    int frame_count() const override { return m_frameCount; }
    int first_frame_number() const override { return 0; }
    types::extent<unsigned> frame_size() const override { return m_size; }
    bool has_alpha() const override { return false; }
    // 0/0: the rate is not known.
    fraction frame_rate() const override { return {}; }

private:
    Element m_element;
    std::string m_missing;
    int m_frameCount = 0;
    types::extent<unsigned> m_size {};
};
