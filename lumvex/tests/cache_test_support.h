#pragma once

// Keys, images and folders shared by the cache tests.

#include "lumvex/cache/cache.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <latch>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>

#include <stdlib.h>

namespace cache_test {

using bgra = img::BGRA<unsigned char>;

// A picture whose pixels depend on `seed`, so that images can be told apart.
inline img::image<bgra> picture(unsigned width, unsigned height, unsigned seed)
{
    img::image<bgra> result(width, height, 4);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x)
            result.row(y)[x] = bgra { static_cast<unsigned char>(x + seed),
                static_cast<unsigned char>(y * 3 + seed), static_cast<unsigned char>(seed * 7), 255 };
    }
    return result;
}

inline bool same_pixels(const img::image<bgra>& a, const img::image<bgra>& b)
{
    if (a.width != b.width || a.height != b.height)
        return false;
    for (unsigned y = 0; y < a.height; ++y) {
        for (unsigned x = 0; x < a.width; ++x) {
            if (!(a.row(y)[x] == b.row(y)[x]))
                return false;
        }
    }
    return true;
}

// What a test key does when asked to produce.
struct production {
    unsigned width = 4;
    unsigned height = 4;
    std::chrono::milliseconds delay { 0 };
    // When set, production waits for it after counting the call.
    std::latch* hold = nullptr;
    // Throws this many times before it succeeds.
    std::atomic<int> failures { 0 };
    std::atomic<int> calls { 0 };
};

// A key of a number that produces a picture of that number, counting its
// productions in a record shared by equal keys.
class number_key : public lumvex::item_id {
public:
    number_key(int number, production* record, bool disc = false)
        : m_number(number)
        , m_record(record)
        , m_disc(disc)
    {
    }
    bool equals(const lumvex::item_id& other) const override
    {
        const auto* key = dynamic_cast<const number_key*>(&other);
        return key != nullptr && key->m_number == m_number;
    }
    std::string key() const override { return "number" + std::to_string(m_number); }
    void describe(std::ostream& out) const override { out << "number:\n" << m_number; }
    bool can_produce() const override { return true; }
    void produce(img::image<bgra>& target) const override
    {
        ++m_record->calls;
        if (m_record->hold != nullptr)
            m_record->hold->wait();
        if (m_record->delay.count() > 0)
            std::this_thread::sleep_for(m_record->delay);
        if (m_record->failures.fetch_sub(1) > 0)
            throw std::runtime_error("production failed");
        target = picture(m_record->width, m_record->height, static_cast<unsigned>(m_number));
    }
    bool threaded() const override { return false; }
    void request() const override { }
    bool disc_cacheable() const override { return m_disc; }
    int number() const { return m_number; }

private:
    int m_number;
    production* m_record;
    bool m_disc;
};

inline boost::shared_ptr<lumvex::item_id> key_of(int number, production* record, bool disc = false)
{
    return boost::shared_ptr<lumvex::item_id>(new number_key(number, record, disc));
}

inline boost::shared_ptr<lumvex::cached_image> entry_of(
    const boost::shared_ptr<lumvex::item_id>& key, unsigned width, unsigned height, unsigned seed = 1)
{
    return boost::shared_ptr<lumvex::cached_image>(
        new lumvex::cached_image(key, picture(width, height, seed)));
}

// A fresh folder under the system's temporary folder, removed afterwards.
class scratch_folder {
public:
    scratch_folder()
    {
        std::string name = (std::filesystem::temp_directory_path() / "lumvex_cache_test_XXXXXX").string();
        if (mkdtemp(name.data()) == nullptr)
            throw std::runtime_error("cannot create a scratch folder");
        m_path = name;
    }
    ~scratch_folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The folder ending in a separator, as a cache root.
    std::string root() const { return m_path.string() + "/"; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace cache_test
