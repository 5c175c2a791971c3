#include "lumvex/cache/disc_cache.h"

#include "foundation/files/gdiplus_codec.h"
#include "foundation/files/image_error.h"
#include "lumvex/avi/avi_frame_id.h"
#include "lumvex/exception.h"
#include "lumvex/files/gdiplus_reader.h"
#include "lumvex/footage/still_image_id.h"
#include "lumvex/path.h"
#include "platform/kernel/thread.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <locale>
#include <optional>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lumvex {

namespace {

const char* const png_extension = ".png";
const char* const text_extension = ".txt";

// File names hold at most 255 bytes; a stem leaves room for ".<number>.png".
constexpr std::size_t max_stem = 200;
// A stem too long keeps this much of the key text, then a hash of all of it.
constexpr std::size_t kept_of_long_stem = 100;

// FNV-1a: the same text gives the same name in every run.
std::uint64_t text_hash(const std::string& text)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// The key text as a file stem: separators and other characters that would
// lead out of the root become "_"; a text too long for a file name is cut
// (at a character boundary) and given a hash of the whole text, so that it
// still names its key alone in all but a vanishing number of cases (the
// numbering of taken names covers those).
std::string safe_stem(std::string text)
{
    for (char& c : text) {
        if (c == '/' || c == '\\' || c == '\0')
            c = '_';
    }
    if (text.empty() || text == "." || text == "..")
        text = "_";
    if (text.size() <= max_stem)
        return text;
    std::size_t cut = kept_of_long_stem;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    static const char digits[] = "0123456789abcdef";
    const std::uint64_t hash = text_hash(text);
    std::string stem = text.substr(0, cut) + '~';
    for (int shift = 60; shift >= 0; shift -= 4)
        stem += digits[(hash >> shift) & 15];
    return stem;
}

// The description file of a PNG name.
std::string text_name(const std::string& png_name)
{
    return png_name.substr(0, png_name.size() - 4) + text_extension;
}

bool all_digits(const std::string& text)
{
    return !text.empty()
        && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The stem without the numbering of a taken name (a dot and a number from 1
// up); the stem itself when it has none.
std::string unnumbered(const std::string& stem)
{
    const std::size_t dot = stem.rfind('.');
    if (dot == std::string::npos)
        return stem;
    const std::string number = stem.substr(dot + 1);
    return all_digits(number) && number[0] != '0' ? stem.substr(0, dot) : stem;
}

// Whether a file stem is the key's own name: its key text, or that text
// numbered.
bool is_name_of(const std::string& stem, const item_id& key)
{
    const std::string base = safe_stem(key.key());
    return stem == base || unnumbered(stem) == base;
}

// Whether a stem is a key text of the cache's own entries: a frame's (a
// name, a dot and the frame number in at least six digits) or one cut for
// length (`safe_stem`).
bool own_key_text(const std::string& stem)
{
    const std::size_t dot = stem.rfind('.');
    if (dot != std::string::npos) {
        const std::string number = stem.substr(dot + 1);
        if (all_digits(number) && number.size() >= 6 && (number.size() == 6 || number[0] != '0'))
            return true;
    }
    constexpr std::size_t hash_digits = 16;
    if (stem.size() <= hash_digits || stem[stem.size() - hash_digits - 1] != '~')
        return false;
    return std::all_of(stem.end() - hash_digits, stem.end(),
        [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Whether a stem is a name the cache gives its own entries: their key text,
// or that text numbered.
bool own_naming(const std::string& stem)
{
    return own_key_text(stem) || own_key_text(unnumbered(stem));
}

// Whether a description is missing or empty, as the writer leaves it when a
// crash stops it between a PNG and its description.
bool unwritten(const std::string& description)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(paths::native(description), error);
    return error ? error == std::errc::no_such_file_or_directory : size == 0;
}

boost::shared_ptr<item_id> read_description(const std::string& path, const item_id_deserializer& deserializer)
{
    std::ifstream in(paths::native(path));
    if (!in)
        return {};
    return deserializer.deserialize(in);
}

bool has_transparency(const img::image<img::BGRA<unsigned char>>& picture)
{
    for (unsigned y = 0; y < picture.height; ++y) {
        const img::BGRA<unsigned char>* row = picture.row(y);
        for (unsigned x = 0; x < picture.width; ++x) {
            if (row[x].a != 255)
                return true;
        }
    }
    return false;
}

// Holds the folder for this cache alone: an exclusive, non-blocking lock on
// the folder itself. -1 when it cannot be opened or another holder has it.
int lock_folder(const std::string& root)
{
    const int handle = ::open(paths::native(root).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        return -1;
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
        ::close(handle);
        return -1;
    }
    return handle;
}

// What a pending image is counted at until its PNG is written: the pixel
// data as 24-bit rows with their filter bytes, and room for the chunks.
std::uint64_t estimated_png_bytes(const img::image<img::BGRA<unsigned char>>& picture)
{
    return std::uint64_t(picture.width) * picture.height * 3 + picture.height + 4096;
}

// Whether a PNG file is whole as far as its ends tell: the signature and the
// header chunk at the start, the end chunk as the last bytes. Files written
// without being forced to the disc come back after a crash empty, cut short
// or with their tail zeroed; damage inside is found by the checksums when the
// file is read.
bool whole_png(const std::string& path, std::uintmax_t size)
{
    static const unsigned char start[16]
        = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R' };
    static const unsigned char end[12] = { 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82 };
    if (size < sizeof start + 17 + sizeof end)
        return false;
    std::ifstream in(paths::native(path), std::ios::binary);
    std::array<char, sizeof start> head {};
    std::array<char, sizeof end> tail {};
    if (!in.read(head.data(), head.size()))
        return false;
    in.seekg(static_cast<std::streamoff>(size - sizeof end));
    if (!in.read(tail.data(), tail.size()))
        return false;
    return std::memcmp(head.data(), start, sizeof start) == 0
        && std::memcmp(tail.data(), end, sizeof end) == 0;
}

// Writes the PNG straight to its place. Nothing is forced to the disc: an
// entry is only listed by a later run when its description was written
// after it, and the start-up scan drops a PNG a crash left incomplete.
void write_png_file(
    const std::string& path, const img::image<img::BGRA<unsigned char>>& picture, std::vector<char>& buffer)
{
    const char* const failure = "could not open image file for writing or write error";
    std::ofstream out;
    out.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    out.open(paths::native(path), std::ios::binary | std::ios::trunc);
    if (!out)
        throw img::io_error(failure, path);
    try {
        out.exceptions(std::ios::failbit | std::ios::badbit);
        // Speed over size: stored (uncompressed) PNG data goes out and comes
        // back in a few milliseconds, where compressing a noisy video frame
        // takes some 200 ms; files are about the raw size, which `put`'s
        // estimate already assumes.
        img::gdiplus_write_bgra(
            out, picture, img::image_format::png, has_transparency(picture), img::png_compression::fast);
        out.close();
    } catch (img::io_error& error) {
        if (error.subject().empty())
            error.set_subject(path);
        throw;
    } catch (const std::ios_base::failure&) {
        throw img::io_error(failure, path);
    }
}

} // namespace

struct disc_cache::entry {
    boost::shared_ptr<item_id> id;
    // The PNG name relative to the root; empty until written.
    std::string file;
    // The PNG's size (an estimate while the image waits for the writer),
    // counted in `used` while the entry is listed.
    std::uint64_t size = 0;
    // Last-write time, for the order of the start-up scan only.
    fs::file_time_type written {};
    // Someone works on the entry's files without the list lock; nobody else
    // touches it until the mark is gone.
    bool busy = false;
    // The write waiting for the writer; while there is one, the entry has
    // no files of its own and is served from the job's image.
    std::shared_ptr<write_job> pending;
};

// An image waiting for the writer. `where` is valid while the job is not
// dropped; every field changes under the list lock only.
struct disc_cache::write_job {
    boost::shared_ptr<cached_image> image;
    std::uint64_t bytes = 0;
    entry_list::iterator where;
    bool dropped = false;
};

// The time an operation works on one listed entry's files. Construction
// waits until no other operation works on an equal key, then marks the
// entry. Ending with `finish` applies the placement; a scope left without it
// (an exception) drops the entry with its files.
class disc_cache::scope {
public:
    scope(disc_cache& owner, const boost::shared_ptr<item_id>& key)
        : m_owner(owner)
    {
        list_lock lock(owner.m_list_lock);
        m_entry = owner.locate_idle(lock, *key);
        if (m_entry == owner.m_entries.end())
            return;
        // An entry waiting for the writer is served from its image, under
        // the lock.
        if (m_entry->pending) {
            m_waiting = m_entry->pending->image;
            return;
        }
        m_entry->busy = true;
        m_registered = true;
    }
    ~scope()
    {
        if (m_registered)
            end(placement::drop);
    }
    scope(const scope&) = delete;
    scope& operator=(const scope&) = delete;

    bool registered() const { return m_registered; }
    // The image of an entry found waiting for the writer (then the scope is
    // not registered).
    const boost::shared_ptr<cached_image>& waiting() const { return m_waiting; }
    // The marked entry; its fields belong to this scope until it ends.
    entry& item() { return *m_entry; }

    void finish(int placement) { end(placement); }

private:
    void end(int placement)
    {
        m_registered = false;
        list_lock lock(m_owner.m_list_lock);
        if (placement == placement::drop) {
            m_owner.drop_listed(lock, m_entry, false);
        } else {
            m_owner.reorder(m_entry, placement);
            m_entry->busy = false;
            m_owner.m_released.notify_all();
        }
        if (m_owner.used() > m_owner.m_quota.load(std::memory_order_relaxed)) {
            m_owner.trim(lock, m_owner.m_quota.load(std::memory_order_relaxed), false);
            m_owner.m_work.notify_one();
        }
    }

    disc_cache& m_owner;
    entry_list::iterator m_entry;
    boost::shared_ptr<cached_image> m_waiting;
    bool m_registered = false;
};

disc_cache::disc_cache(const std::string& root, std::uint64_t quota, const item_id_deserializer* deserializer,
    std::uint64_t write_queue_bytes, std::chrono::milliseconds quiet_time)
    : m_write_queue_bytes(write_queue_bytes)
    , m_quiet_time(quiet_time)
{
    m_writer = std::thread([this] { run_writer(); });
    try {
        set_root(root, quota, deserializer);
    } catch (...) {
        {
            list_lock lock(m_list_lock);
            m_stopping = true;
        }
        m_work.notify_all();
        m_writer.join();
        throw;
    }
}

disc_cache::~disc_cache()
{
    if (erase_on_exit() && enabled())
        purge();
    {
        list_lock lock(m_list_lock);
        m_stopping = true;
    }
    m_work.notify_all();
    m_released.notify_all();
    m_writer.join();
    if (m_root_handle >= 0)
        ::close(m_root_handle);
}

std::string disc_cache::default_root()
{
    std::string base;
    if (const char* cache_home = std::getenv("XDG_CACHE_HOME"); cache_home != nullptr && cache_home[0] == '/')
        base = cache_home;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        base = std::string(home) + "/.cache";
    else
        base = fs::temp_directory_path().string();
    if (base.back() != '/')
        base += '/';
    return base + "Norvane/lumvex/";
}

disc_cache::entry_list::iterator disc_cache::locate(const item_id& key)
{
    return std::find_if(m_entries.begin(), m_entries.end(),
        [&](const entry& e) { return e.id.get() == &key || e.id->equals(key); });
}

disc_cache::entry_list::iterator disc_cache::locate_idle(list_lock& lock, const item_id& key)
{
    for (;;) {
        const auto it = locate(key);
        if (it == m_entries.end() || !it->busy)
            return it;
        m_released.wait(lock);
    }
}

void disc_cache::reorder(entry_list::iterator it, int placement)
{
    if (placement == placement::front)
        m_entries.splice(m_entries.begin(), m_entries, it);
    else if (placement == placement::back)
        m_entries.splice(m_entries.end(), m_entries, it);
}

void disc_cache::place(list_lock& lock, entry_list::iterator it, int placement)
{
    if (placement == placement::drop) {
        drop_listed(lock, it, true);
        m_work.notify_one();
    } else {
        reorder(it, placement);
    }
}

void disc_cache::resize(entry& listed, std::uint64_t size)
{
    if (size >= listed.size)
        m_used.fetch_add(size - listed.size, std::memory_order_relaxed);
    else
        m_used.fetch_sub(listed.size - size, std::memory_order_relaxed);
    listed.size = size;
}

void disc_cache::cancel(write_job& job)
{
    if (job.dropped)
        return;
    job.dropped = true;
    m_queued_bytes -= job.bytes;
    job.image.reset();
    // Puts may be waiting for the room.
    m_released.notify_all();
}

// Takes the entry off the list with its files. Its size leaves `used` at
// once, so that concurrent trims do not delete more than needed; the files
// are deleted without the lock, the entry still marked, or left to the
// writer.
void disc_cache::drop_listed(list_lock& lock, entry_list::iterator it, bool defer)
{
    it->busy = true;
    if (it->pending) {
        cancel(*it->pending);
        it->pending.reset();
    }
    resize(*it, 0);
    const std::string file = it->file;
    if (!file.empty()) {
        if (defer) {
            m_deletions.push_back(file);
        } else {
            lock.unlock();
            delete_pair(file);
            lock.lock();
            m_names.erase(file);
        }
    }
    m_entries.erase(it);
    m_released.notify_all();
}

// Deletions are left to the writer, so that a put that trims never waits
// for the file system; callers holding the gate exclusively delete them
// themselves (delete_deferred).
void disc_cache::trim(list_lock& lock, std::uint64_t limit, bool everything)
{
    while (everything || used() > limit) {
        const auto victim
            = std::find_if(m_entries.begin(), m_entries.end(), [](const entry& e) { return !e.busy; });
        // Entries being worked on stay; their own scopes trim again when they end.
        if (victim == m_entries.end())
            return;
        drop_listed(lock, victim, true);
    }
}

void disc_cache::delete_deferred(list_lock& lock)
{
    std::vector<std::string> names;
    names.swap(m_deletions);
    lock.unlock();
    for (const std::string& name : names)
        delete_pair(name);
    lock.lock();
    for (const std::string& name : names)
        m_names.erase(name);
}

std::string disc_cache::reserve_name(const std::string& stem)
{
    list_lock lock(m_list_lock);
    for (unsigned number = 0;; ++number) {
        const std::string name
            = number == 0 ? stem + png_extension : stem + '.' + std::to_string(number) + png_extension;
        // A name is free when nobody lists or writes it and neither file of
        // the pair exists (a stray description of someone else's is kept).
        if (m_names.count(name) != 0 || paths::file_exists(m_root + name)
            || paths::file_exists(m_root + text_name(name)))
            continue;
        m_names.insert(name);
        return name;
    }
}

void disc_cache::release_name(const std::string& name)
{
    list_lock lock(m_list_lock);
    m_names.erase(name);
}

void disc_cache::delete_pair(const std::string& name) const
{
    const std::string png = m_root + name;
    // The description goes only with its image, so that a pair whose image
    // cannot be deleted stays recognisable.
    if (paths::remove_file(png) || !paths::file_exists(png))
        paths::remove_file(m_root + text_name(name));
}

// The writer: takes the queued writes oldest first and the deletions left to
// it, each under the gate held shared, until the cache is destroyed and the
// queue is empty. Nothing that fails stops it.
void disc_cache::run_writer()
{
    // Disc copies are background work: readers and painters go first, and
    // a writer left behind leaves images in the queue (served from memory)
    // that the quota may drop before they are written at all.
    platform::set_current_thread_priority(platform::THREAD_PRIORITY_LOWEST);
    std::vector<char> buffer(std::size_t(1) << 20);
    for (;;) {
        {
            list_lock lock(m_list_lock);
            for (;;) {
                if (m_stopping && m_jobs.empty() && m_deletions.empty())
                    return;
                const bool deferred = !m_jobs.empty() && writes_deferred();
                if (!m_deletions.empty() || (!m_jobs.empty() && !deferred))
                    break;
                if (deferred) {
                    m_resting = true;
                    m_work.wait_until(lock, m_last_put + m_quiet_time);
                    m_resting = false;
                } else {
                    m_work.wait(lock);
                }
            }
        }
        std::shared_lock gate(m_gate);
        list_lock lock(m_list_lock);
        m_writing = true;
        std::vector<std::string> deletions;
        deletions.swap(m_deletions);
        std::shared_ptr<write_job> job;
        while (!job && !m_jobs.empty() && !writes_deferred()) {
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            if (job->dropped) {
                job.reset();
                ++m_jobs_done;
                m_released.notify_all();
            }
        }
        lock.unlock();
        for (const std::string& name : deletions)
            delete_pair(name);
        if (!deletions.empty()) {
            lock.lock();
            for (const std::string& name : deletions)
                m_names.erase(name);
            lock.unlock();
        }
        if (job)
            write(*job, buffer);
        lock.lock();
        m_writing = false;
        m_released.notify_all();
    }
}

// A reader going through footage puts frame after frame; writing their
// copies meanwhile would take the machine's time and memory bandwidth from
// it, and a quota smaller than the queue drops most of them unwritten anyway.
// The quota keeps the images waiting within it at their PNG estimate, which
// is at least three quarters of what they hold: with a quota of half the
// queue (the default) they hold at most two thirds of it, and a reader's
// copies wait until it pauses.
bool disc_cache::writes_deferred() const
{
    return !m_stopping && m_hurrying == 0 && m_queued_bytes < m_write_queue_bytes / 4 * 3
        && std::chrono::steady_clock::now() < m_last_put + m_quiet_time;
}

// Writes one job's pair and lists it: the PNG first, then the description,
// so that a description never names a PNG not yet complete. The job may be
// dropped meanwhile (trimmed, removed, replaced); its files are then deleted.
void disc_cache::write(write_job& job, std::vector<char>& buffer)
{
    boost::shared_ptr<cached_image> image;
    {
        list_lock lock(m_list_lock);
        image = job.image;
    }
    std::string name;
    bool written = false;
    std::uint64_t size = 0;
    if (image) {
        const item_id& key = *image->id;
        name = reserve_name(safe_stem(key.key()));
        const std::string png = m_root + name;
        const std::string text = m_root + text_name(name);
        try {
            write_png_file(png, image->image, buffer);
            size = fs::file_size(paths::native(png));
            std::ofstream description(paths::native(text), std::ios::out | std::ios::trunc);
            description.imbue(std::locale::classic());
            key.describe(description);
            description.close();
            if (description.fail())
                throw exception("file write error: " + text);
            written = true;
        } catch (...) {
            // The disc copy is a convenience: a pair that cannot be written
            // (disc full, folder gone) is not listed.
            delete_pair(name);
        }
    }
    list_lock lock(m_list_lock);
    ++m_jobs_done;
    if (job.dropped || !written) {
        if (!job.dropped) {
            const entry_list::iterator it = job.where;
            it->pending.reset();
            cancel(job);
            drop_listed(lock, it, true);
        }
        if (!name.empty()) {
            lock.unlock();
            delete_pair(name);
            lock.lock();
            m_names.erase(name);
        }
        m_released.notify_all();
        return;
    }
    const entry_list::iterator it = job.where;
    cancel(job);
    it->pending.reset();
    it->file = name;
    resize(*it, size);
    m_released.notify_all();
    if (used() > m_quota.load(std::memory_order_relaxed))
        trim(lock, m_quota.load(std::memory_order_relaxed), false);
}

void disc_cache::read_entry(const std::string& name, img::image<img::BGRA<unsigned char>>& target) const
{
    img::gdiplus_reader().read(paths::native(m_root + name), target);
}

// Room in the write queue, taken under the list lock in the same hold that
// finds it free, so that puts side by side cannot all pass one check; given
// back unless the put queues its image.
class disc_cache::queue_room {
public:
    queue_room(disc_cache& owner, std::uint64_t bytes)
        : m_owner(owner)
        , m_bytes(bytes)
    {
        // Room is waited for without the gate: the writer takes the gate for
        // every write, and an exclusive holder waiting meanwhile must not
        // keep it out.
        list_lock lock(m_owner.m_list_lock);
        const auto room = [&] {
            return m_owner.m_queued_bytes == 0
                || m_owner.m_queued_bytes + m_bytes <= m_owner.m_write_queue_bytes || m_owner.m_stopping;
        };
        if (!room()) {
            ++m_owner.m_hurrying;
            m_owner.m_work.notify_one();
            m_owner.m_released.wait(lock, room);
            --m_owner.m_hurrying;
        }
        m_owner.m_queued_bytes += m_bytes;
    }
    ~queue_room()
    {
        if (m_bytes == 0)
            return;
        list_lock lock(m_owner.m_list_lock);
        m_owner.m_queued_bytes -= m_bytes;
        m_owner.m_released.notify_all();
    }
    queue_room(const queue_room&) = delete;
    queue_room& operator=(const queue_room&) = delete;

    // The room now belongs to a queued job; the list lock is held.
    std::uint64_t take()
    {
        const std::uint64_t bytes = m_bytes;
        m_bytes = 0;
        return bytes;
    }

private:
    disc_cache& m_owner;
    std::uint64_t m_bytes;
};

void disc_cache::put(const boost::shared_ptr<cached_image>& image, int placement)
{
    if (!enabled())
        return;
    const img::image<img::BGRA<unsigned char>>& picture = image->image;
    // The queue holds the image itself until its pair is written; the quota
    // counts it at the size its PNG is likely to have until then.
    queue_room room(*this, picture.size);
    const std::uint64_t estimate = estimated_png_bytes(picture);
    std::shared_lock gate(m_gate);
    if (!enabled())
        return;
    if (placement == placement::front
        && std::uint64_t(picture.width) * picture.height * 3 + used()
            > m_quota.load(std::memory_order_relaxed))
        return;
    list_lock lock(m_list_lock);
    entry_list::iterator it = locate_idle(lock, *image->id);
    if (it == m_entries.end()) {
        m_entries.push_front(entry { image->id, {}, 0, {}, false, {} });
        it = m_entries.begin();
    }
    if (placement == placement::drop) {
        place(lock, it, placement);
        return;
    }
    // A key listed again gets a new pair; the old one goes.
    if (it->pending)
        cancel(*it->pending);
    if (!it->file.empty()) {
        m_deletions.push_back(it->file);
        it->file.clear();
    }
    auto job = std::make_shared<write_job>();
    job->image = image;
    job->bytes = room.take();
    job->where = it;
    it->pending = job;
    m_jobs.push_back(job);
    ++m_jobs_queued;
    m_last_put = std::chrono::steady_clock::now();
    resize(*it, estimate);
    reorder(it, placement);
    if (used() > m_quota.load(std::memory_order_relaxed))
        trim(lock, m_quota.load(std::memory_order_relaxed), false);
    // A resting writer wakes by itself once the puts pause.
    if (!m_resting || !m_deletions.empty() || !writes_deferred())
        m_work.notify_one();
}

void disc_cache::flush()
{
    list_lock lock(m_list_lock);
    const std::uint64_t target = m_jobs_queued;
    ++m_hurrying;
    m_work.notify_one();
    m_released.wait(lock, [&] { return m_jobs_done >= target && m_deletions.empty() && !m_writing; });
    --m_hurrying;
}

// Marks a key as being produced by this thread; other getters of an equal
// key wait until the mark goes (the image is put by then, or the
// production failed and they produce it themselves). Made with the list lock
// held.
class disc_cache::production {
public:
    production(disc_cache& owner, const boost::shared_ptr<item_id>& key)
        : m_owner(owner)
        , m_key(key)
    {
        m_owner.m_producing.push_back(key);
    }
    ~production()
    {
        list_lock lock(m_owner.m_list_lock);
        auto& keys = m_owner.m_producing;
        keys.erase(std::find(keys.begin(), keys.end(), m_key));
        m_owner.m_released.notify_all();
    }
    production(const production&) = delete;
    production& operator=(const production&) = delete;

private:
    disc_cache& m_owner;
    boost::shared_ptr<item_id> m_key;
};

bool disc_cache::producing(const item_id& key) const
{
    return std::any_of(m_producing.begin(), m_producing.end(),
        [&](const boost::shared_ptr<item_id>& k) { return k.get() == &key || k->equals(key); });
}

boost::shared_ptr<cached_image> disc_cache::get(const boost::shared_ptr<item_id>& key, int placement)
{
    boost::shared_ptr<cached_image> made(new cached_image(key));
    std::optional<production> mark;
    for (;;) {
        std::shared_lock gate(m_gate);
        if (!enabled())
            break;
        // A pair that cannot be read is deleted by the look-up; the image is
        // then produced as if it had never been listed.
        try {
            if (boost::shared_ptr<cached_image> found = find_listed(key, placement))
                return found;
        } catch (const std::exception&) {
        }
        // No cache lock is held while producing: quota changes, purges and
        // re-rooting go on meanwhile, and the producer may use this cache.
        gate.unlock();
        list_lock lock(m_list_lock);
        if (!producing(*key)) {
            mark.emplace(*this, key);
            break;
        }
        m_released.wait(lock, [&] { return !producing(*key); });
    }
    key->produce(made->image);
    if (mark)
        put(made, placement);
    return made;
}

boost::shared_ptr<cached_image> disc_cache::find(const boost::shared_ptr<item_id>& key, int placement)
{
    std::shared_lock gate(m_gate);
    if (!enabled())
        return {};
    return find_listed(key, placement);
}

boost::shared_ptr<cached_image> disc_cache::find_listed(const boost::shared_ptr<item_id>& key, int placement)
{
    scope s(*this, key);
    if (s.waiting()) {
        list_lock lock(m_list_lock);
        const auto it = locate(*key);
        if (it != m_entries.end() && !it->busy)
            place(lock, it, placement);
        return s.waiting();
    }
    if (!s.registered())
        return {};
    boost::shared_ptr<cached_image> found(new cached_image(s.item().id));
    read_entry(s.item().file, found->image);
    s.finish(placement);
    return found;
}

bool disc_cache::contains(const boost::shared_ptr<item_id>& key, int placement)
{
    std::shared_lock gate(m_gate);
    if (!enabled())
        return false;
    list_lock lock(m_list_lock);
    const auto it = locate(*key);
    if (it == m_entries.end())
        return false;
    if (!it->busy)
        place(lock, it, placement);
    return true;
}

void disc_cache::remove(const boost::shared_ptr<item_id>& key)
{
    std::shared_lock gate(m_gate);
    if (!enabled())
        return;
    list_lock lock(m_list_lock);
    const auto it = locate_idle(lock, *key);
    if (it != m_entries.end())
        drop_listed(lock, it, false);
}

void disc_cache::purge()
{
    std::unique_lock gate(m_gate);
    if (!enabled())
        return;
    list_lock lock(m_list_lock);
    trim(lock, 0, true);
    delete_deferred(lock);
}

void disc_cache::set_quota(std::uint64_t quota)
{
    if (quota >= m_quota.load(std::memory_order_relaxed)) {
        m_quota.store(quota, std::memory_order_relaxed);
        return;
    }
    std::unique_lock gate(m_gate);
    m_quota.store(quota, std::memory_order_relaxed);
    if (!enabled())
        return;
    list_lock lock(m_list_lock);
    trim(lock, quota, false);
    delete_deferred(lock);
}

std::uint64_t disc_cache::quota() const
{
    return enabled() ? m_quota.load(std::memory_order_relaxed) : 0;
}

std::size_t disc_cache::count() const
{
    std::shared_lock gate(m_gate);
    list_lock lock(m_list_lock);
    return m_entries.size();
}

std::string disc_cache::root() const
{
    std::shared_lock gate(m_gate);
    return m_root;
}

// With the gate held exclusively: the old root's deletions are done, its
// queued writes dropped.
void disc_cache::disable()
{
    m_enabled.store(false, std::memory_order_release);
    list_lock lock(m_list_lock);
    delete_deferred(lock);
    for (entry& e : m_entries) {
        if (e.pending)
            cancel(*e.pending);
    }
    m_entries.clear();
    m_names.clear();
    m_used.store(0, std::memory_order_relaxed);
    m_quota.store(0, std::memory_order_relaxed);
    m_released.notify_all();
    lock.unlock();
    if (m_root_handle >= 0)
        ::close(m_root_handle);
    m_root_handle = -1;
    m_root.clear();
}

void disc_cache::set_root(
    const std::string& root, std::uint64_t quota, const item_id_deserializer* deserializer)
{
    // The old root keeps what was put into it, unless it is to be erased.
    if (erase_on_exit())
        purge();
    else
        flush();
    std::unique_lock gate(m_gate);
    disable();
    std::string folder = root;
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\')
        folder += '\\';
    if (folder.empty() || !paths::make_directories(folder))
        return;
    m_root_handle = lock_folder(folder);
    if (m_root_handle < 0)
        return;
    m_root = folder;
    m_quota.store(quota, std::memory_order_relaxed);
    scan(deserializer);
    m_enabled.store(true, std::memory_order_release);
    list_lock lock(m_list_lock);
    trim(lock, quota, false);
    delete_deferred(lock);
}

// Lists the pairs of the root. A PNG is listed when its description names a
// key of the deserializer's kind whose key text is the PNG's stem and the PNG
// is whole at both ends; it is deleted with its description when the
// description is of one of this library's own kinds (so the pair is ours)
// but not taken, or the PNG is not whole, and alone when it is named as the
// cache names its entries but has no description or an empty one; every
// other file stays untouched. A file too large for 32 bits is skipped.
void disc_cache::scan(const item_id_deserializer* deserializer)
{
    const still_image_id_deserializer still_kind;
    const avi_frame_id_deserializer avi_kind;
    const item_id_deserializer* const own_kinds[] = { &avi_kind, &still_kind };

    std::vector<entry> found;
    std::error_code error;
    for (fs::directory_iterator it(paths::native(m_root), error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (!it->is_regular_file(ignored))
            continue;
        const std::string name = it->path().filename().string();
        if (name.size() <= 4 || name.compare(name.size() - 4, 4, png_extension) != 0)
            continue;
        const std::string stem = name.substr(0, name.size() - 4);
        const std::string description = m_root + text_name(name);

        boost::shared_ptr<item_id> key;
        if (deserializer != nullptr)
            key = read_description(description, *deserializer);
        if (key && is_name_of(stem, *key)) {
            std::error_code size_error;
            std::error_code time_error;
            const std::uintmax_t size = it->file_size(size_error);
            const fs::file_time_type written = it->last_write_time(time_error);
            if (size_error || time_error || size > 0xFFFFFFFFu)
                continue;
            if (whole_png(m_root + name, size))
                found.push_back(entry { key, name, size, written, false, {} });
            else
                delete_pair(name);
            continue;
        }
        const bool own
            = std::any_of(std::begin(own_kinds), std::end(own_kinds), [&](const item_id_deserializer* kind) {
                  const boost::shared_ptr<item_id> own_key = read_description(description, *kind);
                  return own_key && is_name_of(stem, *own_key);
              });
        // A PNG whose description a crash kept from being written would be
        // counted by no quota.
        if (own || (own_naming(stem) && unwritten(description)))
            delete_pair(name);
    }
    std::stable_sort(found.begin(), found.end(), [](const entry& a, const entry& b) {
        return std::tie(a.written, a.file) < std::tie(b.written, b.file);
    });
    std::uint64_t total = 0;
    list_lock lock(m_list_lock);
    for (entry& e : found) {
        total += e.size;
        m_names.insert(e.file);
        m_entries.push_back(std::move(e));
    }
    m_used.store(total, std::memory_order_relaxed);
}

} // namespace lumvex
