#pragma once

// Footage and a cache for the painting tests: solid-colour frames whose
// every read is logged (frame, request bits, waiting), optionally not ready
// until waited for, and a cache that keeps entries in a list and finds them
// as the image cache does (the stored key's equality with the asked one).
// Both lock themselves, so that several threads may paint through them.

#include "engine/tests/memory_footage.h"
#include "lumvex/cache/cache.h"

#include <boost/make_shared.hpp>

#include <mutex>
#include <vector>

namespace painting_testing {

using Pixel = img::BGRA<unsigned char>;

class LoggedFootage : public trm::testing::memory_footage {
public:
    struct Read {
        int frame;
        int request;
        bool wait;
        bool operator==(const Read&) const = default;
    };

    // `count` frames of width x height, frame i filled with colour + i (blue).
    LoggedFootage(int count, unsigned width, unsigned height, Pixel colour)
        : memory_footage(Frames(count, width, height, colour))
    {
    }

    boost::shared_ptr<lumvex::cached_image> frame(int frame, int request, bool wait) override
    {
        std::lock_guard lock(m_mutex);
        reads.push_back({ frame, request, wait });
        if (!wait && notReadyWithoutWaiting)
            return {};
        return cached_frame(frame);
    }

    std::vector<Read> reads;
    bool notReadyWithoutWaiting = false;

private:
    std::mutex m_mutex;
    static std::vector<img::image<Pixel>> Frames(int count, unsigned width, unsigned height, Pixel colour)
    {
        std::vector<img::image<Pixel>> frames;
        for (int i = 0; i < count; ++i) {
            img::image<Pixel> picture(width, height, 4);
            picture.fill({ static_cast<unsigned char>(colour.b + i), colour.g, colour.r, colour.a });
            frames.push_back(std::move(picture));
        }
        return frames;
    }
};

class ListCache : public lumvex::cache {
public:
    void put(const boost::shared_ptr<lumvex::cached_image>& image, int placement) override
    {
        std::lock_guard lock(m_mutex);
        placements.push_back(placement);
        entries.push_back(image);
    }
    boost::shared_ptr<lumvex::cached_image> get(
        const boost::shared_ptr<lumvex::item_id>& key, int placement) override
    {
        return find(key, placement);
    }
    boost::shared_ptr<lumvex::cached_image> find(
        const boost::shared_ptr<lumvex::item_id>& key, int placement) override
    {
        std::lock_guard lock(m_mutex);
        placements.push_back(placement);
        for (const auto& entry : entries)
            if (entry->id->equals(*key))
                return entry;
        return {};
    }
    bool contains(const boost::shared_ptr<lumvex::item_id>& key, int placement) override
    {
        return find(key, placement) != nullptr;
    }
    void remove(const boost::shared_ptr<lumvex::item_id>&) override { }
    void purge() override { entries.clear(); }

    std::vector<boost::shared_ptr<lumvex::cached_image>> entries;
    std::vector<int> placements;

private:
    std::mutex m_mutex;
};

} // namespace painting_testing
