#include "lumvex/footage/seq_reader.h"

#include "lumvex/exception.h"
#include "lumvex/files/image_codec.h"
#include "lumvex/footage/still_image_id.h"
#include "lumvex/path.h"
#include "platform/kernel/thread.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace lumvex {

// The cache key of a frame request: equal to the key of the frame's file,
// so the cache finds the file's entry; asking for the image queues a read
// order on the loader thread.
class seq_frame_request final : public still_image_id {
public:
    seq_frame_request(std::string path, seq_reader* reader, int frame, int request, int priority)
        : still_image_id(std::move(path))
        , m_reader(reader)
        , m_frame(frame)
        , m_request(request)
        , m_priority(priority)
    {
    }

    bool can_produce() const override { return false; }
    void produce(img::image<img::BGRA<unsigned char>>&) const override { }
    bool threaded() const override { return true; }
    void request() const override { m_reader->request_frames(m_frame, m_request, m_priority); }
    bool disc_cacheable() const override { return false; }

private:
    seq_reader* m_reader;
    int m_frame;
    int m_request;
    int m_priority;
};

namespace {

bool is_separator(char c)
{
    return c == '\\' || c == '/';
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// "?" matches any one character, everything else itself.
bool wildcard_equal(const std::string& pattern, const std::string& text, std::size_t at)
{
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] != '?' && pattern[i] != text[at + i])
            return false;
    return true;
}

// The decimal number of a digit run; -1 when it does not fit an int.
long long number_of(const std::string& digits)
{
    long long value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
        if (value > 0x7FFFFFFF)
            return -1;
    }
    return value;
}

// A digit run without its leading zeros ("0" stays "0"). Numbers of any
// length (date and time stamps run to 14 digits and more) compare as these:
// the shorter is the smaller, equal lengths compare digit by digit.
std::string significant_digits(const std::string& digits)
{
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? std::string("0") : digits.substr(first);
}

bool number_less(const std::string& a, const std::string& b)
{
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

std::string folder_of(const std::string& pattern)
{
    std::string folder = paths::parent_directory(pattern);
    if (folder.empty()) {
        folder = paths::current_directory();
        if (!folder.empty() && !is_separator(folder.back()))
            folder += '/';
    }
    return folder;
}

// Refuses a frame number outside the sequence.
void check_member(const sequence_filter& filter, int frame)
{
    if (frame < 0 || static_cast<std::size_t>(frame) >= filter.members.size())
        throw exception("frame #" + std::to_string(frame) + " is outside image sequence '" + filter.filter
            + "' of " + std::to_string(filter.members.size()) + " frames");
}

} // namespace

void queue_read_order(img_read_order_queue& queue, img_read_order order)
{
    auto same = std::find_if(
        queue.begin(), queue.end(), [&](const img_read_order& o) { return o.frame == order.frame; });
    if (same != queue.end()) {
        same->priority = std::max(same->priority, order.priority);
        return;
    }
    auto place = queue.end();
    while (place != queue.begin() && std::prev(place)->priority < order.priority)
        --place;
    queue.insert(place, order);
}

seq_reader::seq_reader(const std::string& file_name, cache* image_cache)
    : m_cache(image_cache)
{
    // Its priority follows the read orders, up and down.
    handle().keep_raisable();
    resume();
    if (!file_name.empty()) {
        try {
            open(parse_file_name(file_name));
        } catch (...) {
            quiesce();
            {
                std::lock_guard locked(guard());
                stop = true;
            }
            wake.set();
            join();
            throw;
        }
    }
}

seq_reader::seq_reader(const sequence_filter& filter, cache* image_cache)
    : m_cache(image_cache)
{
    // Its priority follows the read orders, up and down.
    handle().keep_raisable();
    resume();
    try {
        open(filter);
    } catch (...) {
        {
            std::lock_guard locked(guard());
            stop = true;
        }
        wake.set();
        join();
        throw;
    }
}

seq_reader::~seq_reader()
{
    quiesce();
    {
        std::lock_guard locked(guard());
        stop = true;
    }
    wake.set();
    join();
}

void seq_reader::quiesce()
{
    // Orders of the old filter are dropped and their waiters told.
    std::lock_guard locked(guard());
    queue.clear();
    if (!m_filter.members.empty())
        m_waits.fail_all("image sequence '" + m_filter.filter + "' was closed before the frame was loaded");
}

sequence_filter seq_reader::parse_file_name(const std::string& path)
{
    std::string changed = path;
    bool replaced = false;
    for (std::size_t i = changed.size(); i-- > 0;) {
        char c = changed[i];
        if (is_separator(c))
            break;
        if (is_digit(c)) {
            changed[i] = '?';
            replaced = true;
        } else if (replaced) {
            break;
        }
    }
    if (replaced)
        return parse_pattern(changed);
    sequence_filter filter;
    filter.folder = folder_of(path);
    filter.members.push_back(paths::file_name_with_extension(path));
    filter.filter = filter.folder + filter.members.front();
    filter.first_number = 0;
    return filter;
}

sequence_filter seq_reader::parse_pattern(const std::string& pattern)
{
    sequence_filter filter;
    filter.folder = folder_of(pattern);
    filter.filter = pattern;
    std::size_t name_start = pattern.size();
    while (name_start > 0 && !is_separator(pattern[name_start - 1]))
        --name_start;
    const std::string name = pattern.substr(name_start);
    // The last run of "?" stands for the number.
    std::size_t run_end = name.rfind('?');
    std::size_t run_start = run_end;
    while (run_start != std::string::npos && run_start > 0 && name[run_start - 1] == '?')
        --run_start;

    struct found {
        std::string number;
        std::string name;
    };
    std::vector<found> matches;
    paths::file_search search;
    for (bool more = search.start(filter.folder + "*"); more; more = search.next()) {
        const std::string& candidate = search.name();
        if (run_end == std::string::npos) {
            if (candidate == name)
                matches.push_back({ std::string(), candidate });
            continue;
        }
        const std::string prefix = name.substr(0, run_start);
        const std::string suffix = name.substr(run_end + 1);
        const std::size_t width = run_end + 1 - run_start;
        if (candidate.size() < prefix.size() + width + suffix.size())
            continue;
        if (!wildcard_equal(prefix, candidate, 0)
            || !wildcard_equal(suffix, candidate, candidate.size() - suffix.size()))
            continue;
        std::string digits
            = candidate.substr(prefix.size(), candidate.size() - prefix.size() - suffix.size());
        if (!std::all_of(digits.begin(), digits.end(), is_digit))
            continue;
        // Numbers are zero-filled to the run's width; one that outgrows the
        // run is written whole, never with a leading zero.
        if (digits.size() > width && digits[0] == '0')
            continue;
        matches.push_back({ significant_digits(digits), candidate });
    }
    std::sort(matches.begin(), matches.end(), [](const found& a, const found& b) {
        if (a.number != b.number)
            return number_less(a.number, b.number);
        return a.name < b.name;
    });
    for (auto& m : matches)
        filter.members.push_back(std::move(m.name));
    if (filter.members.empty())
        throw exception("bad filter: " + pattern);

    std::string first = paths::file_name(filter.members.front());
    std::size_t digits_start = first.size();
    while (digits_start > 0 && is_digit(first[digits_start - 1]))
        --digits_start;
    long long number = digits_start < first.size() ? number_of(first.substr(digits_start)) : 0;
    filter.first_number = number < 0 ? 0 : static_cast<int>(number);
    return filter;
}

void seq_reader::open(const sequence_filter& filter)
{
    if (filter.members.empty())
        throw exception("bad filter: " + filter.filter);
    const std::string first = filter.folder + filter.members.front();
    img::image_info info;
    const std::string native = paths::native(first);
    if (!img::default_readers().info(native, &info))
        throw std::runtime_error(img::unreadable_image_text(img::default_readers(), native, first));
    quiesce();
    std::lock_guard locked(guard());
    m_filter = filter;
    m_width = info.width;
    m_height = info.height;
    m_has_alpha = info.bits_per_pixel == 32;
}

void seq_reader::check_frame(int frame) const
{
    std::lock_guard locked(guard());
    check_member(m_filter, frame);
}

std::string seq_reader::member_path(int frame) const
{
    std::lock_guard locked(guard());
    check_member(m_filter, frame);
    return m_filter.folder + m_filter.members[static_cast<std::size_t>(frame)];
}

boost::shared_ptr<item_id> seq_reader::frame_id(int frame)
{
    return boost::shared_ptr<item_id>(new still_image_id(member_path(frame)));
}

boost::shared_ptr<cached_image> seq_reader::frame(int frame, int request, bool wait)
{
    boost::shared_ptr<seq_frame_request> key(
        new seq_frame_request(member_path(frame), this, frame, request, platform::current_thread_priority()));
    if (wait)
        return m_cache->get(key, placement::back);
    boost::shared_ptr<cached_image> found = m_cache->find(key, placement::back);
    if (!found)
        key->request();
    return found;
}

boost::shared_ptr<cached_image> seq_reader::cached_frame(int frame)
{
    return m_cache->find(frame_id(frame), placement::back);
}

void seq_reader::request_frames(int frame, int request, int priority)
{
    check_frame(frame);
    const int count = frame_count();
    m_waits.queue_and_wait(
        frame,
        [&] {
            queue_order(frame, priority);
            if ((request & frame_request::before) && frame != 0)
                queue_order(frame - 1, priority - 1);
            if ((request & frame_request::after) && frame != count - 1)
                queue_order(frame + 1, priority - 1);
        },
        [&] { return m_cache->contains(frame_id(frame), placement::back); });
}

void seq_reader::queue_order(int frame, int priority)
{
    if (priority > handle().priority())
        handle().set_priority(priority);
    std::lock_guard locked(guard());
    queue_read_order(queue, { frame, priority });
    idle.reset();
    wake.set();
}

void seq_reader::process(img_read_order& order)
{
    if (order.priority < handle().priority())
        handle().set_priority(order.priority);
    try {
        boost::shared_ptr<item_id> id = frame_id(order.frame);
        if (!m_cache->contains(id, placement::back))
            m_cache->get(id, placement::back);
        m_waits.stored(order.frame);
    } catch (const std::exception& e) {
        m_waits.failed(order.frame, e.what());
    }
}

std::string seq_reader::path() const
{
    std::lock_guard locked(guard());
    return m_filter.members.empty() ? std::string() : m_filter.folder + m_filter.members.front();
}

std::vector<std::string> seq_reader::files() const
{
    std::lock_guard locked(guard());
    std::vector<std::string> out;
    out.reserve(m_filter.members.size());
    for (const std::string& member : m_filter.members)
        out.push_back(paths::native(m_filter.folder + member));
    return out;
}

std::string seq_reader::description() const
{
    std::lock_guard locked(guard());
    return "image sequence '" + m_filter.filter + "'";
}

int seq_reader::frame_count() const
{
    std::lock_guard locked(guard());
    return static_cast<int>(m_filter.members.size());
}

int seq_reader::first_frame_number() const
{
    std::lock_guard locked(guard());
    return m_filter.first_number;
}

void seq_reader::serialize(xml::stream& stream, const std::string& base_path)
{
    if (stream.reading)
        open(parse_pattern(read_footage_file(
            stream, "seq", "filter", base_path, "couldn't initialize Image Sequence from XML stream")));
    else
        write_footage_file(stream, "seq", "filter", m_filter.filter, base_path);
}

} // namespace lumvex
