#include "lumvex/avi/avi_reader.h"

#include "lumvex/avi/avi_decoder.h"
#include "lumvex/avi/avi_file.h"
#include "lumvex/avi/avi_frame_id.h"
#include "lumvex/exception.h"
#include "lumvex/path.h"
#include "platform/kernel/thread.h"

#include <algorithm>

namespace lumvex {

// The cache key of a frame request: equal to the plain frame key, so the
// cache finds the frame's entry; asking for the image queues a read order.
class avi_frame_request final : public avi_frame_id {
public:
    avi_frame_request(const avi_frame_id& id, avi_reader* reader, int request, int priority)
        : avi_frame_id(id)
        , m_reader(reader)
        , m_request(request)
        , m_priority(priority)
    {
    }

    bool can_produce() const override { return false; }
    bool threaded() const override { return true; }
    void request() const override { m_reader->request_frames(frame(), m_request, m_priority); }

private:
    avi_reader* m_reader;
    int m_request;
    int m_priority;
};

// Finds out, after an opening, whether every frame is a key frame. Reads
// the index only; the file stays unchanged until the inspection has ended.
class inspect_keyframes final : public mswin::thread {
public:
    explicit inspect_keyframes(avi_reader& reader)
        : m_reader(reader)
    {
        start(true);
    }

    ~inspect_keyframes() override { join(); }

    void wait() { m_done.wait(); }

private:
    void run() override
    {
        const img::avi::file& file = *m_reader.m_file;
        bool all = true;
        // Frame k follows a key-frame run of one frame when k is itself the
        // next key frame.
        for (int k = 1; k < file.length() && all; ++k)
            all = file.key_frame_from(k) == k;
        m_reader.m_all_key_frames = all;
        m_done.set();
    }

    void on_error(const std::string& text) override
    {
        m_done.set();
        mswin::thread::on_error(text);
    }

    avi_reader& m_reader;
    platform::event m_done { true, false };
};

namespace {

// A decoded frame whose image is lent from a buffer of the frame memory:
// the entry keeps the buffer until it ends. Entries are only ever destroyed
// through the shared pointer made with this type, so the base needs no
// virtual destructor.
class frame_in_memory final : public cached_image {
public:
    frame_in_memory(boost::shared_ptr<item_id> key, img::image<img::BGRA<unsigned char>> picture,
        std::shared_ptr<unsigned char> storage)
        : cached_image(std::move(key), std::move(picture))
        , m_storage(std::move(storage))
    {
    }

    ~frame_in_memory()
    {
        // The image forgets its buffer before the buffer goes back.
        image.clear();
    }

private:
    std::shared_ptr<unsigned char> m_storage;
};

} // namespace

void queue_read_order(avi_read_order_queue& queue, avi_read_order order)
{
    auto place = queue.end();
    bool merged = false;
    for (auto it = queue.begin(); it != queue.end();) {
        if (std::max(it->first, order.first) <= std::min(it->last, order.last)) {
            order.frame = std::min(order.frame, it->frame);
            order.first = std::min(order.first, it->first);
            order.frame_end = std::max(order.frame_end, it->frame_end);
            order.last = std::max(order.last, it->last);
            order.priority = std::max(order.priority, it->priority);
            // The new order goes where the frontmost merged one stood: the
            // place follows erasures that reach it.
            const bool at_place = merged && it == place;
            it = queue.erase(it);
            if (!merged || at_place)
                place = it;
            merged = true;
        } else {
            ++it;
        }
    }
    while (place != queue.begin() && std::prev(place)->priority < order.priority)
        --place;
    queue.insert(place, order);
}

avi_reader::avi_reader(const std::string& path, cache* image_cache, int prefetch, frame_memory* memory)
    : m_cache(image_cache)
    , m_prefetch(std::clamp(prefetch, 1, 1000))
    , m_memory(memory)
{
    // Its priority follows the read orders, up and down.
    handle().keep_raisable();
    resume();
    if (!path.empty()) {
        try {
            open(path);
        } catch (...) {
            stop_thread();
            throw;
        }
    }
}

avi_reader::~avi_reader()
{
    close();
    stop_thread();
}

void avi_reader::stop_thread()
{
    {
        std::lock_guard guard(lock);
        stop = true;
    }
    wake.set();
    join();
}

void avi_reader::open(const std::string& path)
{
    const std::string full = paths::full_path(path.c_str());
    close();
    std::lock_guard decoding(m_decoder_lock);
    if (!m_file)
        m_file = std::make_unique<img::avi::file>();
    m_file->open(paths::native(full));
    const file_stamp stamp = file_stamp::of(full);
    try {
        m_decoder = std::make_unique<img::avi::decoder>(*m_file, 0, m_memory);
    } catch (...) {
        m_file->close();
        throw;
    }
    m_path = full;
    m_stamp = stamp;
    m_length = m_file->length();
    m_width = m_decoder->width();
    m_height = m_decoder->height();
    m_rate = m_decoder->rate();
    m_scale = m_decoder->scale();
    m_all_key_frames = false;
    m_inspector = std::make_unique<inspect_keyframes>(*this);
}

void avi_reader::close()
{
    // Orders of the closing file are dropped and their waiters told.
    {
        std::lock_guard guard(lock);
        queue.clear();
    }
    std::lock_guard decoding(m_decoder_lock);
    if (!m_decoder && !m_inspector)
        return;
    m_waits.fail_all("AVI file '" + m_path + "' was closed before the frame was read");
    m_inspector.reset();
    m_decoder.reset();
    if (m_file)
        m_file->close();
    m_path.clear();
    m_stamp = {};
    m_length = 0;
    m_width = m_height = 0;
    m_rate = m_scale = 0;
}

void avi_reader::wait_inspected()
{
    if (m_inspector)
        m_inspector->wait();
}

bool avi_reader::all_key_frames()
{
    wait_inspected();
    return m_all_key_frames;
}

void avi_reader::check_frame(int frame) const
{
    if (frame < 0 || frame >= m_length)
        throw exception("frame #" + std::to_string(frame) + " is outside AVI file '" + m_path + "' of "
            + std::to_string(m_length) + " frames");
}

boost::shared_ptr<item_id> avi_reader::frame_id(int frame)
{
    check_frame(frame);
    wait_inspected();
    return boost::shared_ptr<item_id>(new avi_frame_id(frame, m_path, m_length, !m_all_key_frames, m_stamp));
}

boost::shared_ptr<cached_image> avi_reader::frame(int frame, int request, bool wait)
{
    check_frame(frame);
    wait_inspected();
    avi_frame_id id(frame, m_path, m_length, !m_all_key_frames, m_stamp);
    boost::shared_ptr<avi_frame_request> key(
        new avi_frame_request(id, this, request, platform::current_thread_priority()));
    if (wait)
        return m_cache->get(key, placement::back);
    boost::shared_ptr<cached_image> found = cached_frame(frame);
    if (!found)
        key->request();
    return found;
}

boost::shared_ptr<cached_image> avi_reader::cached_frame(int frame)
{
    check_frame(frame);
    return m_cache->find(frame_id(frame), placement::back);
}

void avi_reader::request_frames(int frame, int request, int priority)
{
    check_frame(frame);
    m_waits.queue_and_wait(
        frame, [&] { queue_order(frame, request, priority); },
        [&] { return m_cache->contains(frame_id(frame), placement::back); });
}

void avi_reader::queue_order(int frame, int request, int priority)
{
    wait_inspected();
    const int distance = m_all_key_frames ? 1 : m_prefetch;
    avi_read_order order { frame, frame + 1, frame, frame + 1, priority };
    if (request & frame_request::before)
        order.first = std::max(0, frame - distance);
    if (request & frame_request::after)
        order.last
            = static_cast<int>(std::min<long long>(m_length, static_cast<long long>(frame) + 1 + distance));
    if (priority > handle().priority())
        handle().set_priority(priority);

    std::lock_guard guard(lock);
    queue_read_order(queue, order);
    idle.reset();
    wake.set();
}

void avi_reader::process(avi_read_order& order)
{
    std::lock_guard decoding(m_decoder_lock);
    if (!m_decoder) {
        for (int f = order.frame; f < order.frame_end; ++f)
            m_waits.failed(f, "AVI file was closed before the frame was read");
        return;
    }
    if (order.priority < handle().priority())
        handle().set_priority(order.priority);
    try {
        if (m_all_key_frames)
            read_all_key(order);
        else
            read_delta(order);
    } catch (const std::exception& e) {
        // Whatever stopped the order fails the frames still awaited; those
        // already stored stay good for their waiters.
        for (int f = order.first; f < order.last; ++f)
            m_waits.failed(f, e.what());
    }
}

void avi_reader::deliver(int frame, bool waited, int placement_if_not_waited)
{
    boost::shared_ptr<item_id> key(new avi_frame_id(frame, m_path, m_length, !m_all_key_frames, m_stamp));
    std::shared_ptr<unsigned char> storage;
    img::image<img::BGRA<unsigned char>> picture = m_decoder->release_image(storage);
    // Each entry is owned as its own type, so that a lent one returns its
    // buffer.
    boost::shared_ptr<cached_image> image;
    if (storage)
        image.reset(new frame_in_memory(std::move(key), std::move(picture), std::move(storage)));
    else
        image.reset(new cached_image(std::move(key), std::move(picture)));
    m_cache->put(image, waited ? placement::back : placement_if_not_waited);
}

void avi_reader::read_all_key(const avi_read_order& order)
{
    for (int f = order.first; f < order.last; ++f) {
        const bool waited = m_waits.waited_for(f);
        if (!m_cache->contains(frame_id(f), placement::back)) {
            try {
                m_decoder->seek(f);
                m_decoder->decode_next(true);
            } catch (const std::exception& e) {
                m_waits.failed(f, e.what());
                continue;
            }
            deliver(f, true, placement::back);
        }
        if (waited || m_waits.waited_for(f))
            m_waits.stored(f);
    }
}

void avi_reader::read_delta(const avi_read_order& order)
{
    const int start = std::max(order.first, m_file->key_frame_before(order.frame));
    int end = m_file->key_frame_before(order.last - 1);
    if (end < order.frame_end || end <= start)
        end = order.last;
    for (int f = start; f < end; ++f) {
        bool good = true;
        if (!m_cache->contains(frame_id(f), placement::back)) {
            m_decoder->seek(f);
            for (;;) {
                const int g = m_decoder->position();
                try {
                    m_decoder->decode_next(true);
                } catch (const img::avi::exception& e) {
                    m_waits.failed(g, e.what());
                    if (g >= f) {
                        good = false;
                        break;
                    }
                    continue;
                }
                if (g >= f)
                    break;
                // Frames decoded on the way to the range are kept too, so
                // that a later order finds them instead of decoding again.
                if (g < start && !m_cache->contains(frame_id(g), placement::keep)) {
                    const bool waited = m_waits.waited_for(g);
                    deliver(g, waited, placement::front);
                    if (waited)
                        m_waits.stored(g);
                }
            }
            // Frames of the range were asked for (read ahead or waited
            // for): they go to the back of memory too, ahead of frames
            // seen longer ago, so that a caller reading on finds them there.
            if (good)
                deliver(f, true, placement::back);
        }
        if (good)
            m_waits.stored(f);
    }
}

std::string avi_reader::path() const
{
    return m_path;
}

std::string avi_reader::description() const
{
    return "AVI file '" + m_path + "'";
}

int avi_reader::frame_count() const
{
    return m_length;
}

types::extent<unsigned> avi_reader::frame_size() const
{
    return { m_width, m_height };
}

fraction avi_reader::frame_rate() const
{
    return { static_cast<std::int32_t>(m_rate), m_scale };
}

void avi_reader::serialize(xml::stream& stream, const std::string& base_path)
{
    if (stream.reading)
        open(read_footage_file(stream, "avi", "path", base_path, "couldn't initialize AVI from XML stream"));
    else
        write_footage_file(stream, "avi", "path", m_path, base_path);
}

} // namespace lumvex
