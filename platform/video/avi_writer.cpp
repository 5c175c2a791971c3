#include "platform/video/avi_writer.h"

#include "platform/kernel/file_sync.h"
#include "platform/kernel/temporary_file.h"
#include "platform/video/video_compressor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::uint32_t AVIF_HASINDEX = 0x10;
constexpr std::uint32_t AVI_INDEX_OF_INDEXES = 0;
constexpr std::uint32_t AVI_INDEX_OF_CHUNKS = 1;
// The payload of the "dmlh" chunk, as readers expect it.
constexpr std::uint32_t dmlh_size = 248;
constexpr std::uint32_t super_index_size = 24 + 16 * avi_writer::max_riff_lists;
// Space kept free beyond the samples for the closing index, grown in steps.
constexpr std::uint64_t reserve_step = 1 << 20;

class bytes {
public:
    void u8(std::uint8_t v) { m_b.push_back(v); }
    void u16(std::uint32_t v)
    {
        u8(std::uint8_t(v));
        u8(std::uint8_t(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void u64(std::uint64_t v)
    {
        u32(std::uint32_t(v));
        u32(std::uint32_t(v >> 32));
    }
    void id(const char* fourcc)
    {
        for (int i = 0; i < 4; ++i)
            u8(std::uint8_t(fourcc[i]));
    }
    void zeros(std::size_t n) { m_b.resize(m_b.size() + n, 0); }
    void raw(const std::vector<std::uint8_t>& v) { m_b.insert(m_b.end(), v.begin(), v.end()); }
    std::size_t size() const { return m_b.size(); }
    const std::vector<std::uint8_t>& data() const { return m_b; }

private:
    std::vector<std::uint8_t> m_b;
};

} // namespace

avi_writer::avi_writer(std::uint64_t riff_limit)
    : m_riff_limit(riff_limit)
{
}

avi_writer::~avi_writer()
{
    discard();
}

std::uint32_t avi_writer::chunk_id() const
{
    return m_compressed ? mmioFOURCC('0', '0', 'd', 'c') : mmioFOURCC('0', '0', 'd', 'b');
}

int avi_writer::open(const std::string& path)
{
    discard();
    // The file is made beside the target and takes its place when closed,
    // so a writer that fails before that leaves an existing file as it was.
    struct stat old { };
    const bool exists = ::stat(path.c_str(), &old) == 0;
    // A folder at the path would refuse the file only when it is complete.
    if (exists && S_ISDIR(old.st_mode))
        return EISDIR;
    const mode_t mode = exists && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : 0666;
    if (const int error = m_temporary.create(path, mode))
        return error;
    m_fd = m_temporary.descriptor();
    m_path = path;
    m_stream = false;
    m_headers_written = false;
    m_index.clear();
    m_riffs.clear();
    m_end = 0;
    m_reserved_to = 0;
    m_max_sample = 0;
    return 0;
}

int avi_writer::create_stream(const AVISTREAMINFO& info, std::int32_t width, std::int32_t height)
{
    if (m_fd < 0 || m_stream || info.dwRate == 0 || info.dwScale == 0)
        return EINVAL;
    m_info = info;
    m_width = width;
    m_height = height;
    m_stream = true;
    return 0;
}

int avi_writer::set_format(const std::vector<std::uint8_t>& format)
{
    BITMAPINFOHEADER h;
    if (!m_stream || !m_index.empty() || !read_bitmap_header(format, h) || format.size() > (1u << 20))
        return EINVAL;
    m_format = format;
    const std::uint32_t c = h.biCompression;
    m_compressed = !(c == BI_RGB || c == BI_BITFIELDS);
    const std::vector<std::uint8_t> head = headers();
    if (const int r = put(0, head.data(), head.size()))
        return r;
    m_end = head.size();
    m_riffs.assign(1, riff { 0, m_end - 4, 0 });
    m_headers_written = true;
    return 0;
}

std::vector<std::uint8_t> avi_writer::headers() const
{
    const bool odml = m_riffs.size() > 1;
    const std::uint32_t total = std::uint32_t(m_index.size());
    const std::uint32_t first_frames = m_riffs.size() > 1 ? m_riffs[1].first : total;
    const std::uint32_t buffer = std::max(m_info.dwSuggestedBufferSize, m_max_sample);
    const std::uint32_t format_padded = std::uint32_t(m_format.size() + (m_format.size() & 1));

    bytes b;
    b.id("RIFF");
    b.u32(m_riffs.empty() ? 0 : m_riffs[0].size);
    b.id("AVI ");
    const std::uint32_t strl_size = 4 + (8 + 56) + (8 + format_padded) + (8 + super_index_size);
    const std::uint32_t hdrl_size = 4 + (8 + 56) + (8 + strl_size);
    b.id("LIST");
    b.u32(hdrl_size);
    b.id("hdrl");
    b.id("avih");
    b.u32(56);
    b.u32(std::uint32_t(1000000.0 * m_info.dwScale / m_info.dwRate + 0.5));
    b.u32(0);
    b.u32(0);
    b.u32(AVIF_HASINDEX);
    b.u32(first_frames);
    b.u32(0);
    b.u32(1);
    b.u32(buffer);
    b.u32(std::uint32_t(m_width));
    b.u32(std::uint32_t(m_height));
    b.zeros(16);
    b.id("LIST");
    b.u32(strl_size);
    b.id("strl");
    b.id("strh");
    b.u32(56);
    b.u32(m_info.fccType);
    b.u32(m_info.fccHandler);
    b.u32(0);
    b.u32(0);
    b.u32(0);
    b.u32(m_info.dwScale);
    b.u32(m_info.dwRate);
    b.u32(0);
    b.u32(total);
    b.u32(buffer);
    b.u32(0xFFFFFFFFu);
    b.u32(0);
    b.u16(0);
    b.u16(0);
    b.u16(std::uint32_t(m_width));
    b.u16(std::uint32_t(m_height));
    b.id("strf");
    b.u32(std::uint32_t(m_format.size()));
    b.raw(m_format);
    b.zeros(m_format.size() & 1);
    // The super index, or the room kept for it while the file is AVI 1.0.
    b.id(odml ? "indx" : "JUNK");
    b.u32(super_index_size);
    const std::size_t index_start = b.size();
    if (odml) {
        b.u16(4);
        b.u8(0);
        b.u8(AVI_INDEX_OF_INDEXES);
        b.u32(std::uint32_t(m_riffs.size()));
        b.u32(chunk_id());
        b.zeros(12);
        for (const riff& r : m_riffs) {
            const std::uint32_t end
                = &r == &m_riffs.back() ? total : m_riffs[std::size_t(&r - &m_riffs[0]) + 1].first;
            b.u64(r.ix_offset);
            b.u32(r.ix_size);
            b.u32(end - r.first);
        }
    }
    b.zeros(super_index_size - (b.size() - index_start));
    if (odml) {
        b.id("LIST");
        b.u32(4 + 8 + dmlh_size);
        b.id("odml");
        b.id("dmlh");
        b.u32(dmlh_size);
        b.u32(total);
        b.zeros(dmlh_size - 4);
    } else {
        b.id("JUNK");
        b.u32(4 + 8 + dmlh_size);
        b.zeros(4 + 8 + dmlh_size);
    }
    b.id("LIST");
    b.u32(m_riffs.empty() ? 0 : m_riffs[0].movi_size);
    b.id("movi");
    return b.data();
}

int avi_writer::put(std::uint64_t at, const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = pwrite(m_fd, p, size, off_t(at));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        p += n;
        at += std::uint64_t(n);
        size -= std::size_t(n);
    }
    return 0;
}

int avi_writer::reserve_trailer(std::uint32_t more)
{
    const riff& r = m_riffs.back();
    const std::uint64_t n = m_index.size() - r.first + 1;
    std::uint64_t trailer = 8 + 24 + 8 * n;
    if (m_riffs.size() == 1)
        trailer += 8 + 16 * n;
    const std::uint64_t needed = m_end + more + trailer;
    if (needed <= m_reserved_to)
        return 0;
    const std::uint64_t from = std::max(m_reserved_to, m_end);
    const std::uint64_t to = needed + reserve_step;
    if (fallocate(m_fd, FALLOC_FL_KEEP_SIZE, off_t(from), off_t(to - from)) != 0) {
        const int code = errno;
        // File systems (and devices) that cannot reserve still write.
        if (code != EOPNOTSUPP && code != ENOSYS && code != EINVAL && code != ENODEV && code != ESPIPE)
            return code;
    }
    m_reserved_to = to;
    return 0;
}

int avi_writer::write(const std::uint8_t* data, std::uint32_t size, std::uint32_t flags)
{
    if (m_fd < 0 || !m_headers_written || size > 0x7FFFFFFFu || (data == nullptr && size > 0))
        return EINVAL;
    const std::uint32_t chunk = 8 + size + (size & 1);
    const riff& current = m_riffs.back();
    const std::uint64_t n = m_index.size() - current.first + 1;
    const std::uint64_t trailer = 32 + 8 * n + (m_riffs.size() == 1 ? 8 + 16 * n : 0);
    if (m_index.size() > current.first && m_end + chunk + trailer - current.start > m_riff_limit) {
        if (m_riffs.size() >= max_riff_lists)
            return EFBIG;
        // A list finished by an earlier attempt whose next list could not
        // be started is not finished twice.
        if (!current.finished)
            if (const int r = finish_riff(false))
                return r;
        if (const int r = start_riff())
            return r;
    }
    if (const int r = reserve_trailer(chunk))
        return r;
    std::uint8_t head[8];
    const std::uint32_t id = chunk_id();
    std::memcpy(head, &id, 4);
    for (int i = 0; i < 4; ++i)
        head[4 + i] = std::uint8_t(size >> (8 * i));
    const std::uint8_t pad = 0;
    iovec parts[3] = { { head, 8 }, { const_cast<std::uint8_t*>(data), size },
        { const_cast<std::uint8_t*>(&pad), size & 1u } };
    std::uint64_t at = m_end;
    std::size_t left = chunk;
    int first = 0;
    while (left > 0) {
        const ssize_t w = pwritev(m_fd, parts + first, 3 - first, off_t(at));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (w == 0)
            return ENOSPC;
        at += std::uint64_t(w);
        left -= std::size_t(w);
        std::size_t done = std::size_t(w);
        while (first < 3 && done >= parts[first].iov_len) {
            done -= parts[first].iov_len;
            ++first;
        }
        if (first < 3) {
            parts[first].iov_base = static_cast<std::uint8_t*>(parts[first].iov_base) + done;
            parts[first].iov_len -= done;
        }
    }
    m_index.push_back({ m_end + 8, size, (flags & AVIIF_KEYFRAME) != 0 });
    m_end += chunk;
    m_max_sample = std::max(m_max_sample, size);
    return 0;
}

int avi_writer::finish_riff(bool last)
{
    riff& r = m_riffs.back();
    const bool odml = !last || m_riffs.size() > 1;
    const std::uint32_t id = chunk_id();
    const std::uint32_t count = std::uint32_t(m_index.size() - r.first);
    if (odml) {
        bytes ix;
        ix.id("ix00");
        ix.u32(24 + 8 * count);
        ix.u16(2);
        ix.u8(0);
        ix.u8(AVI_INDEX_OF_CHUNKS);
        ix.u32(count);
        ix.u32(id);
        ix.u64(r.movi);
        ix.u32(0);
        for (std::size_t i = r.first; i < m_index.size(); ++i) {
            ix.u32(std::uint32_t(m_index[i].offset - r.movi));
            ix.u32(m_index[i].size | (m_index[i].key ? 0 : 0x80000000u));
        }
        if (const int e = put(m_end, ix.data().data(), ix.size()))
            return e;
        r.ix_offset = m_end;
        r.ix_size = std::uint32_t(ix.size());
        m_end += ix.size();
    }
    r.movi_size = std::uint32_t(m_end - r.movi);
    if (&r == &m_riffs.front()) {
        bytes idx;
        idx.id("idx1");
        idx.u32(16 * count);
        for (std::size_t i = r.first; i < m_index.size(); ++i) {
            idx.u32(id);
            idx.u32(m_index[i].key ? AVIIF_KEYFRAME : 0);
            idx.u32(std::uint32_t(m_index[i].offset - 8 - r.movi));
            idx.u32(m_index[i].size);
        }
        if (const int e = put(m_end, idx.data().data(), idx.size()))
            return e;
        m_end += idx.size();
    }
    r.size = std::uint32_t(m_end - r.start - 8);
    r.finished = true;
    return patch_sizes(r);
}

int avi_writer::patch_sizes(const riff& r)
{
    std::uint8_t field[4];
    for (int i = 0; i < 4; ++i)
        field[i] = std::uint8_t(r.size >> (8 * i));
    if (const int e = put(r.start + 4, field, 4))
        return e;
    for (int i = 0; i < 4; ++i)
        field[i] = std::uint8_t(r.movi_size >> (8 * i));
    return put(r.movi - 4, field, 4);
}

int avi_writer::start_riff()
{
    bytes b;
    b.id("RIFF");
    b.u32(0);
    b.id("AVIX");
    b.id("LIST");
    b.u32(0);
    b.id("movi");
    if (const int e = put(m_end, b.data().data(), b.size()))
        return e;
    m_riffs.push_back(riff { m_end, m_end + 20, std::uint32_t(m_index.size()) });
    m_end += b.size();
    return 0;
}

int avi_writer::close()
{
    if (m_fd < 0)
        return 0;
    if (!m_headers_written) {
        discard();
        return 0;
    }
    int result = 0;
    if (!m_riffs.back().finished)
        result = finish_riff(true);
    // Sizes again, in case a failed write stopped an earlier patch.
    for (std::size_t i = 1; i < m_riffs.size() && result == 0; ++i)
        result = patch_sizes(m_riffs[i]);
    if (result == 0) {
        const std::vector<std::uint8_t> head = headers();
        result = put(0, head.data(), head.size());
    }
    if (result == 0 && ftruncate(m_fd, off_t(m_end)) != 0)
        result = errno;
    // The complete file reaches the disc before it takes the old one's
    // place, so that a crash soon after leaves the one or the other.
    if (result == 0)
        result = sync_file(m_fd);
    m_fd = -1;
    // Closing may tell of writes the file system held back; the file stays
    // locked until it is in place, so that no clean-up takes it for a
    // leftover in between.
    const int closed = m_temporary.close_descriptor();
    if (result == 0)
        result = closed;
    m_headers_written = false;
    m_stream = false;
    // A file that could not be completed never replaces the old one.
    if (result == 0)
        result = m_temporary.move_to(m_path);
    if (result != 0) {
        m_temporary.remove();
        return result;
    }
    sync_folder_of(m_path);
    return 0;
}

void avi_writer::discard()
{
    m_fd = -1;
    m_temporary.remove();
    m_headers_written = false;
    m_stream = false;
}

} // namespace platform
