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
    seq_frame_request(std::string path, types::extent<unsigned> frame_size,
        std::shared_ptr<frame_size_notes> notes, seq_reader* reader, int frame, int request, int priority)
        : still_image_id(std::move(path), frame_size, std::move(notes))
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

// Where the frame number stands in a file-name pattern: `width` "?" from
// `start`. Every other character of the name, a "?" included, stands for
// itself.
struct number_run {
    std::size_t start = 0;
    std::size_t width = 0;
};

struct numbered_name {
    // The number without leading zeros (see significant_digits).
    std::string number;
    std::string name;
};

// The names among `candidates` that `name` (a pattern without folder)
// matches with the number at `run`, in number order.
std::vector<std::string> numbered_members(
    const std::string& name, number_run run, const std::vector<std::string>& candidates)
{
    const std::string prefix = name.substr(0, run.start);
    const std::string suffix = name.substr(run.start + run.width);
    std::vector<numbered_name> matches;
    for (const std::string& candidate : candidates) {
        if (candidate.size() < prefix.size() + run.width + suffix.size())
            continue;
        if (candidate.compare(0, prefix.size(), prefix) != 0
            || candidate.compare(candidate.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        std::string digits
            = candidate.substr(prefix.size(), candidate.size() - prefix.size() - suffix.size());
        if (!std::all_of(digits.begin(), digits.end(), is_digit))
            continue;
        // Numbers are zero-filled to the run's width; one that outgrows the
        // run is written whole, never with a leading zero.
        if (digits.size() > run.width && digits[0] == '0')
            continue;
        matches.push_back({ significant_digits(digits), candidate });
    }
    std::sort(matches.begin(), matches.end(), [](const numbered_name& a, const numbered_name& b) {
        if (a.number != b.number)
            return number_less(a.number, b.number);
        return a.name < b.name;
    });
    std::vector<std::string> members;
    members.reserve(matches.size());
    for (numbered_name& m : matches)
        members.push_back(std::move(m.name));
    return members;
}

// The file names of a folder (files only).
std::vector<std::string> names_in(const std::string& folder)
{
    std::vector<std::string> names;
    paths::file_search search;
    for (bool more = search.start(folder + "*"); more; more = search.next())
        names.push_back(search.name());
    return names;
}

std::size_t name_start_of(const std::string& path)
{
    std::size_t start = path.size();
    while (start > 0 && !is_separator(path[start - 1]))
        --start;
    return start;
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

namespace {

// The filter of `pattern` whose files are `members`, in frame order.
sequence_filter filter_of(const std::string& pattern, std::vector<std::string> members)
{
    if (members.empty())
        throw exception("bad filter: " + pattern);
    sequence_filter filter;
    filter.folder = folder_of(pattern);
    filter.filter = pattern;
    filter.members = std::move(members);
    std::string first = paths::file_name(filter.members.front());
    std::size_t digits_start = first.size();
    while (digits_start > 0 && is_digit(first[digits_start - 1]))
        --digits_start;
    long long number = digits_start < first.size() ? number_of(first.substr(digits_start)) : 0;
    filter.first_number = number < 0 ? 0 : static_cast<int>(number);
    return filter;
}

} // namespace

sequence_filter seq_reader::parse_file_name(const std::string& path)
{
    std::string changed = path;
    const std::size_t name_start = name_start_of(path);
    std::size_t i = path.size();
    while (i > name_start && !is_digit(path[i - 1]))
        --i;
    const std::size_t run_end = i;
    while (i > name_start && is_digit(path[i - 1]))
        changed[--i] = '?';
    if (i == run_end) {
        // No digits: the file stands alone.
        sequence_filter filter;
        filter.folder = folder_of(path);
        filter.members.push_back(paths::file_name_with_extension(path));
        filter.filter = filter.folder + filter.members.front();
        filter.first_number = 0;
        return filter;
    }
    // The run is known here, so a "?" of the name right before the number
    // stays itself.
    return filter_of(changed,
        numbered_members(changed.substr(name_start), number_run { i - name_start, run_end - i },
            names_in(folder_of(changed))));
}

sequence_filter seq_reader::parse_pattern(const std::string& pattern)
{
    const std::string name = pattern.substr(name_start_of(pattern));
    const std::vector<std::string> candidates = names_in(folder_of(pattern));
    // The last run of "?" stands for the number.
    const std::size_t last = name.rfind('?');
    if (last == std::string::npos) {
        std::vector<std::string> members;
        if (std::find(candidates.begin(), candidates.end(), name) != candidates.end())
            members.push_back(name);
        return filter_of(pattern, std::move(members));
    }
    std::size_t first = last;
    while (first > 0 && name[first - 1] == '?')
        --first;
    // A name holding "?" right before its number gives a pattern whose run
    // is longer than the number: the reading that finds the most files is
    // taken, the whole run when no shorter one finds more.
    std::vector<std::string> best = numbered_members(name, { first, last + 1 - first }, candidates);
    for (std::size_t width = last - first; width > 0; --width) {
        std::vector<std::string> found = numbered_members(name, { last + 1 - width, width }, candidates);
        if (found.size() > best.size())
            best = std::move(found);
    }
    return filter_of(pattern, std::move(best));
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
    m_size_notes = std::make_shared<frame_size_notes>("image sequence '" + filter.filter + "'");
}

void seq_reader::check_frame(int frame) const
{
    std::lock_guard locked(guard());
    check_member(m_filter, frame);
}

seq_reader::member seq_reader::member_of(int frame) const
{
    std::lock_guard locked(guard());
    check_member(m_filter, frame);
    return { m_filter.folder + m_filter.members[static_cast<std::size_t>(frame)], { m_width, m_height },
        m_size_notes };
}

boost::shared_ptr<item_id> seq_reader::frame_id(int frame)
{
    member m = member_of(frame);
    return boost::shared_ptr<item_id>(
        new still_image_id(std::move(m.path), m.frame_size, std::move(m.notes)));
}

boost::shared_ptr<cached_image> seq_reader::frame(int frame, int request, bool wait)
{
    member m = member_of(frame);
    boost::shared_ptr<seq_frame_request> key(new seq_frame_request(std::move(m.path), m.frame_size,
        std::move(m.notes), this, frame, request, platform::current_thread_priority()));
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
