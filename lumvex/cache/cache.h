#pragma once

// The contract of the image cache: keys that know how to produce their
// image, entries (key plus 32-bit colour image) shared between the cache and
// its users, the cache operations, and the rebuilding of keys from the
// description files of the disc cache.
//
// Everything here is held by boost::shared_ptr and may cross the library's
// boundary; the application derives its own keys from item_id.

#include "foundation/image/image.h"
#include "lumvex/export.h"

#include <boost/shared_ptr.hpp>

#include <iosfwd>
#include <string>

namespace lumvex {

// Where the entry touched by an operation stands afterwards in the cache's
// eviction order, whose front is evicted first. Any other value acts as
// `keep`.
namespace placement {
// Moved to the front (evicted first); `put` also skips an image that would
// not fit the free quota.
inline constexpr int front = 0;
// Left where it stands (a new entry stays at the front, where it was put).
inline constexpr int keep = 1;
// Moved to the back: evicted last.
inline constexpr int back = 2;
// Dropped from the cache once the operation has handed it out.
inline constexpr int drop = 3;
} // namespace placement

// A cache key that also knows how to produce the image it names. Keys are
// immutable while a cache holds them, and every operation may be called
// from any thread.
class LUMVEX_API item_id {
public:
    virtual ~item_id() = default;

    // True when `other` is of this key's type (or derived from it) and names
    // the same image. Caches call it on the stored key, with the asked key
    // as argument, under their lock: it must be cheap and must not call back
    // into a cache.
    virtual bool equals(const item_id& other) const = 0;
    // A short text usable as a file name; the disc cache's file stem. Keys of
    // different images may give the same text.
    virtual std::string key() const = 0;
    // The description the disc cache writes beside the image; a deserializer
    // rebuilds the key from it.
    virtual void describe(std::ostream& out) const = 0;
    // True when `produce` may run in the thread that asks the cache; false
    // when another thread produces the image and must be asked through
    // `request`.
    virtual bool can_produce() const = 0;
    // Fills `target` (resized as needed) with the image. Runs without any
    // cache lock held and may take long. Throws on failure.
    virtual void produce(img::image<img::BGRA<unsigned char>>& target) const = 0;
    // True for the requests served by the footage reader threads (a key
    // whose `request` makes its image appear in the cache).
    virtual bool threaded() const = 0;
    // Asks the producing thread for the image and returns once it has been
    // put into the cache (or throws). Does nothing for keys that produce in
    // place.
    virtual void request() const = 0;
    // Whether the image is also kept in the disc cache (`key` and `describe`
    // are needed only then).
    virtual bool disc_cacheable() const = 0;
};

// A cache entry: a key and its image, shared read-only between the cache and
// its users once published. The quotas count the image's byte size.
class LUMVEX_API cached_image {
public:
    // An entry with an empty image (0 x 0, row alignment 4) for `produce` to
    // fill.
    explicit cached_image(boost::shared_ptr<item_id> key);
    cached_image(boost::shared_ptr<item_id> key, img::image<img::BGRA<unsigned char>> picture);

    boost::shared_ptr<item_id> id;
    img::image<img::BGRA<unsigned char>> image;
};

// The cache operations. `placement` is one of the values above. All
// operations may be called from any thread.
class LUMVEX_API cache {
public:
    virtual ~cache() = default;

    // Stores the entry (an entry with an equal key that is already stored
    // may be kept instead, as each cache says).
    virtual void put(const boost::shared_ptr<cached_image>& image, int placement) = 0;
    // The entry of the key, produced when missing.
    virtual boost::shared_ptr<cached_image> get(const boost::shared_ptr<item_id>& key, int placement) = 0;
    // The entry of the key, or an empty pointer; never produces.
    virtual boost::shared_ptr<cached_image> find(const boost::shared_ptr<item_id>& key, int placement) = 0;
    // Whether the key is stored (or being produced); never waits.
    virtual bool contains(const boost::shared_ptr<item_id>& key, int placement) = 0;
    virtual void remove(const boost::shared_ptr<item_id>& key) = 0;
    // Evicts every entry that is not being produced; the quota stays.
    virtual void purge() = 0;
};

// Rebuilds keys from the disc cache's description files.
class LUMVEX_API item_id_deserializer {
public:
    virtual ~item_id_deserializer() = default;
    // The key the description names; an empty pointer when the text is not of
    // this deserializer's kind.
    virtual boost::shared_ptr<item_id> deserialize(std::istream& description) const = 0;

protected:
    // Reads the first line, which must be exactly `header`, and the second
    // into `path` (lines end at a line feed); false when either is missing
    // or the header differs.
    static bool read_header_and_path(std::istream& description, const char* header, std::string& path);
};

} // namespace lumvex
