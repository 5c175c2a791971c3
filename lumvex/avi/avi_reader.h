#pragma once

#include "foundation/system/thread.h"
#include "lumvex/cache/file_stamp.h"
#include "lumvex/footage/footage.h"
#include "lumvex/footage/frame_waits.h"

#include <list>
#include <memory>
#include <mutex>
#include <string>

namespace img::avi {
class file;
class decoder;
} // namespace img::avi

namespace lumvex {

class inspect_keyframes;
class frame_memory;

// A read order of the AVI reader thread: the frames a caller asked for,
// [frame, frame_end), and the frames to read, [first, last), at a thread
// priority.
struct avi_read_order {
    int frame = 0;
    int frame_end = 0;
    int first = 0;
    int last = 0;
    int priority = 0;
};

// The reader thread's queue, ordered by priority (highest first), equal
// priorities in arrival order.
class avi_read_order_queue : public std::list<avi_read_order> { };

// Adds an order to the queue: every queued order whose range [first, last)
// overlaps or touches the new one is folded into it (lowest frame and
// first, highest frame_end, last and priority), and the result goes where
// the frontmost folded order stood (the back when none), moved ahead of
// every order of lower priority.
void queue_read_order(avi_read_order_queue& queue, avi_read_order order);

// An AVI file as footage. Frames are decoded on a reader thread of the
// footage, in the order of queued read orders, and reach callers only
// through the cache: frames of a file whose every frame is a key frame go to
// the memory cache, frames of a delta-coded file to the disc cache and, when
// they lie in the range asked for (waited for or read ahead), to the back of
// the memory cache too; frames decoded on the way to the range go to the
// front of both, where they are evicted first. A short-lived inspection
// thread finds out after each opening whether all frames are key frames.
//
// `frame`, `cached_frame`, `frame_id` and `request_frames` may be called
// from any thread; `open`, `close` and `serialize` from one thread at a time.
// Frame numbers outside [0, frame_count()) are refused with
// lumvex::exception. A frame that cannot be read or decoded fails for its
// callers (the frame of a codec that refuses it arrives black); the footage
// stays usable for the other frames.
class avi_reader final : public footage_simple_impl, private mswin::WorkThread<avi_read_order_queue> {
public:
    // `image_cache` (the coordinator, not owned) must outlive the footage;
    // `prefetch` is the read-ahead distance of delta-coded files (1 to
    // 1000). Frames are decoded into buffers of `memory` when one is given
    // (not owned; it must outlive the footage). Opens `path` when it is not
    // empty; opening errors (img::avi::exception) pass on after the reader
    // thread has ended.
    avi_reader(const std::string& path, cache* image_cache, int prefetch, frame_memory* memory = nullptr);
    ~avi_reader() override;

    // Opens the file (closing what is open), positions a decoder on frame 0
    // and starts the key-frame inspection. Throws img::avi::exception.
    void open(const std::string& path);
    void close();

    // Queues the read order for `frame` (and its neighbours after the
    // request bits) at `priority`, then returns once the frame is in the
    // cache; throws lumvex::exception when it failed.
    void request_frames(int frame, int request, int priority);

    // Waits until the key-frame inspection has finished.
    boost::shared_ptr<item_id> frame_id(int frame) override;
    boost::shared_ptr<cached_image> frame(int frame, int request, bool wait) override;
    boost::shared_ptr<cached_image> cached_frame(int frame) override;
    cache* image_cache() const override { return m_cache; }
    // "type" "avi" and "path" relative to `base_path`; reading reopens.
    void serialize(xml::stream& stream, const std::string& base_path) override;
    std::string path() const override;
    // "AVI file '" + path + "'".
    std::string description() const override;
    int frame_count() const override;
    int first_frame_number() const override { return 0; }
    types::extent<unsigned> frame_size() const override;
    bool has_alpha() const override { return false; }
    // {stream rate, stream scale}.
    fraction frame_rate() const override;

    // Whether every frame is a key frame (waits for the inspection).
    bool all_key_frames();

private:
    friend class inspect_keyframes;

    void process(avi_read_order& order) override;
    void queue_order(int frame, int request, int priority);
    void check_frame(int frame) const;
    void wait_inspected();
    void stop_thread();
    void read_all_key(const avi_read_order& order);
    void read_delta(const avi_read_order& order);
    // Puts the decoder's image of `frame` into the cache: at the back when
    // somebody waits for it, else at the given placement.
    void deliver(int frame, bool waited, int placement_if_not_waited);

    cache* m_cache;
    int m_prefetch;
    frame_memory* m_memory;
    // Guards the decoder and the opened state against the reader thread.
    mutable std::mutex m_decoder_lock;
    std::unique_ptr<img::avi::file> m_file;
    std::unique_ptr<img::avi::decoder> m_decoder;
    std::unique_ptr<inspect_keyframes> m_inspector;
    bool m_all_key_frames = false;
    frame_waits m_waits;
    std::string m_path;
    // The file's stamp when it was opened: frames of another content of the
    // same path have other keys.
    file_stamp m_stamp;
    int m_length = 0;
    unsigned m_width = 0;
    unsigned m_height = 0;
    unsigned m_rate = 0;
    unsigned m_scale = 0;
};

} // namespace lumvex
