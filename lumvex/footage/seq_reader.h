#pragma once

#include "foundation/system/thread.h"
#include "lumvex/footage/footage.h"
#include "lumvex/footage/frame_size_notes.h"
#include "lumvex/footage/frame_waits.h"

#include <list>
#include <memory>
#include <string>
#include <vector>

namespace lumvex {

// A numbered series of image files in one folder, described by a pattern in
// which each digit of the frame number is a "?".
struct sequence_filter {
    // The pattern as given (folder and file pattern), or folder + file name
    // for a one-member sequence.
    std::string filter;
    // The pattern's folder, ending in a separator.
    std::string folder;
    // The members' file names (without folder, case kept), in frame order.
    std::vector<std::string> members;
    // The number in the first member's name; 0 when it is beyond an int
    // (the members are still numbered and ordered by their whole numbers).
    int first_number = 0;
};

// A read order of the sequence loader thread.
struct img_read_order {
    int frame = 0;
    int priority = 0;
};

// The loader thread's queue, ordered by priority (highest first), equal
// priorities in arrival order.
class img_read_order_queue : public std::list<img_read_order> { };

// Adds an order to the queue: an order for the same frame only takes the
// higher priority, in its place; a new order goes behind the last order of
// at least its priority (the front when there is none).
void queue_read_order(img_read_order_queue& queue, img_read_order order);

// A numbered image sequence as footage. Frames are loaded on a loader
// thread of the footage, in the order of queued read orders, and cached
// under the key of their image file (still_image_id) fitted to the
// sequence's frame size: every frame has the first member's size, a member
// of another size placed at the top-left corner (clipped, or black where it
// does not reach) and told once on the diagnostic stream. A still footage
// of the same file keeps the file's own size in its own entry.
//
// `frame`, `cached_frame`, `frame_id` and `request_frames` may be called
// from any thread; `open` and `serialize` from one thread at a time. Frame
// numbers outside [0, frame_count()) are refused with lumvex::exception; a
// member that cannot be loaded fails its frame for its callers and the
// footage stays usable.
class seq_reader final : public footage_simple_impl, private mswin::WorkThread<img_read_order_queue> {
public:
    // Opens the sequence that `file_name` belongs to when it is not empty.
    // `image_cache` (the coordinator, not owned) must outlive the footage.
    seq_reader(const std::string& file_name, cache* image_cache);
    seq_reader(const sequence_filter& filter, cache* image_cache);
    ~seq_reader() override;

    // The sequence of a file: the last run of digits in its name becomes
    // "?"s and the files numbered there are searched; every other character
    // of the name stands for itself. A name without digits gives a
    // one-member sequence of that file with first number 0.
    static sequence_filter parse_file_name(const std::string& path);
    // The files of a pattern. The last run of "?" in the file name stands
    // for the frame number: it matches that many digits, or more digits
    // without a leading zero (numbers outgrowing the run are written whole).
    // Every other character, a "?" included, matches itself; where the run
    // may begin with "?"s of the name itself, the reading that finds the
    // most files is taken (the whole run on a tie). Members are ordered by
    // number, however many digits it has. Throws lumvex::exception
    // "bad filter: " + pattern when no file matches.
    static sequence_filter parse_pattern(const std::string& pattern);

    // Reads the first member's size and depth and takes the filter. Throws
    // std::runtime_error "could not read file or unknown image format: " +
    // path when the first member is not a readable image; for a member too
    // large to be read, "the image is too large: " with its size and the
    // limit, ": " and the path.
    void open(const sequence_filter& filter);
    const sequence_filter& filter() const { return m_filter; }

    // Queues the frame (and its neighbours after the request bits) at
    // `priority` and returns once it is in the cache; throws
    // lumvex::exception when it failed to load.
    void request_frames(int frame, int request, int priority);

    boost::shared_ptr<item_id> frame_id(int frame) override;
    boost::shared_ptr<cached_image> frame(int frame, int request, bool wait) override;
    boost::shared_ptr<cached_image> cached_frame(int frame) override;
    cache* image_cache() const override { return m_cache; }
    // "type" "seq" and "filter" relative to `base_path`; reading reopens.
    void serialize(xml::stream& stream, const std::string& base_path) override;
    std::string path() const override;
    // Every member, in frame order.
    std::vector<std::string> files() const override;
    // "image sequence '" + filter + "'".
    std::string description() const override;
    int frame_count() const override;
    int first_frame_number() const override;
    types::extent<unsigned> frame_size() const override { return { m_width, m_height }; }
    // The first member has 32 bits per pixel.
    bool has_alpha() const override { return m_has_alpha; }
    fraction frame_rate() const override { return {}; }

private:
    void process(img_read_order& order) override;
    void queue_order(int frame, int priority);
    void check_frame(int frame) const;
    // What the key of a frame is made of, read under the lock.
    struct member {
        std::string path;
        types::extent<unsigned> frame_size;
        std::shared_ptr<frame_size_notes> notes;
    };
    member member_of(int frame) const;
    void quiesce();
    // The worker's lock, which guards the queue and the filter.
    platform::critical_section& guard() const { return const_cast<platform::critical_section&>(lock); }

    cache* m_cache;
    frame_waits m_waits;
    sequence_filter m_filter;
    unsigned m_width = 0;
    unsigned m_height = 0;
    bool m_has_alpha = false;
    std::shared_ptr<frame_size_notes> m_size_notes;
};

} // namespace lumvex
