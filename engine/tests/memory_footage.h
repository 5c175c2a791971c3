#pragma once

// A footage of frames held in memory, for tests and benchmarks of the
// engine's calculation: no cache, every request answered from the vector,
// every request logged (frame and request bits) so that tests can check the
// order and number of loads.

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "foundation/numbers/extent.h"
#include "lumvex/footage/footage.h"

namespace trm::testing {

class memory_frame_id : public lumvex::item_id {
public:
    explicit memory_frame_id(int frame)
        : m_frame(frame)
    {
    }
    bool equals(const item_id& other) const override
    {
        const auto* o = dynamic_cast<const memory_frame_id*>(&other);
        return o != nullptr && o->m_frame == m_frame;
    }
    std::string key() const override { return "memory" + std::to_string(m_frame); }
    void describe(std::ostream& out) const override { out << key(); }
    bool can_produce() const override { return false; }
    void produce(img::image<img::BGRA<unsigned char>>&) const override { }
    bool threaded() const override { return false; }
    void request() const override { }
    bool disc_cacheable() const override { return false; }

private:
    int m_frame;
};

class memory_footage : public lumvex::footage_simple_impl {
public:
    struct request {
        int frame;
        int bits;
        bool operator==(const request&) const = default;
    };

    explicit memory_footage(std::vector<img::image<img::BGRA<unsigned char>>> frames)
    {
        for (std::size_t i = 0; i < frames.size(); ++i)
            m_frames.push_back(boost::make_shared<lumvex::cached_image>(
                boost::make_shared<memory_frame_id>(static_cast<int>(i)), std::move(frames[i])));
    }

    boost::shared_ptr<lumvex::item_id> frame_id(int frame) override
    {
        return boost::make_shared<memory_frame_id>(frame);
    }
    boost::shared_ptr<lumvex::cached_image> frame(int frame, int bits, bool) override
    {
        requests.push_back({ frame, bits });
        return cached_frame(frame);
    }
    boost::shared_ptr<lumvex::cached_image> cached_frame(int frame) override
    {
        if (frame < 0 || frame >= frame_count())
            return {};
        return m_frames[static_cast<std::size_t>(frame)];
    }
    lumvex::cache* image_cache() const override { return nullptr; }
    void serialize(xml::stream&, const std::string&) override { }
    std::string path() const override { return {}; }
    std::string description() const override { return "frames in memory"; }
    int frame_count() const override { return static_cast<int>(m_frames.size()); }
    int first_frame_number() const override { return 0; }
    types::extent<unsigned> frame_size() const override
    {
        if (m_frames.empty())
            return {};
        return { m_frames[0]->image.width, m_frames[0]->image.height };
    }
    bool has_alpha() const override { return false; }
    fraction frame_rate() const override { return { 25, 1 }; }

    // Every call of `frame`, in order.
    std::vector<request> requests;

private:
    std::vector<boost::shared_ptr<lumvex::cached_image>> m_frames;
};

} // namespace trm::testing
