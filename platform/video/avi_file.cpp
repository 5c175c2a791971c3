#include "platform/video/avi_file.h"

#include "platform/video/video_decompressor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr FOURCC id_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC id_LIST = mmioFOURCC('L', 'I', 'S', 'T');
constexpr FOURCC id_AVI = mmioFOURCC('A', 'V', 'I', ' ');
constexpr FOURCC id_AVIX = mmioFOURCC('A', 'V', 'I', 'X');
constexpr FOURCC id_hdrl = mmioFOURCC('h', 'd', 'r', 'l');
constexpr FOURCC id_strl = mmioFOURCC('s', 't', 'r', 'l');
constexpr FOURCC id_strh = mmioFOURCC('s', 't', 'r', 'h');
constexpr FOURCC id_strf = mmioFOURCC('s', 't', 'r', 'f');
constexpr FOURCC id_indx = mmioFOURCC('i', 'n', 'd', 'x');
constexpr FOURCC id_movi = mmioFOURCC('m', 'o', 'v', 'i');
constexpr FOURCC id_rec = mmioFOURCC('r', 'e', 'c', ' ');
constexpr FOURCC id_idx1 = mmioFOURCC('i', 'd', 'x', '1');

constexpr std::uint32_t AVIIF_KEYFRAME = 0x10;
constexpr std::uint8_t AVI_INDEX_OF_INDEXES = 0x00;
constexpr std::uint8_t AVI_INDEX_OF_CHUNKS = 0x01;

// A format block larger than this is refused (real ones are a few hundred
// bytes; codec set-up data stays far below it).
constexpr std::uint32_t max_format_size = 1u << 20;
// Standard index chunks larger than this are refused (a 4-byte count of
// 8-byte entries, far more than any writer puts in one chunk).
constexpr std::uint32_t max_index_chunk = 64u << 20;
// One frame larger than this is refused (uncompressed 8K frames of 32 bits
// take a quarter of it).
constexpr std::uint32_t max_sample_size = 512u << 20;

std::uint16_t get16(const std::uint8_t* p)
{
    return std::uint16_t(p[0] | p[1] << 8);
}

std::uint32_t get32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

std::uint64_t get64(const std::uint8_t* p)
{
    return std::uint64_t(get32(p)) | std::uint64_t(get32(p + 4)) << 32;
}

} // namespace

std::string fourcc_text(FOURCC code)
{
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i)
        text[i] = static_cast<char>((code >> (8 * i)) & 0xFF);
    return text;
}

bool read_bitmap_header(const std::vector<std::uint8_t>& format, BITMAPINFOHEADER& h)
{
    if (format.size() < 40)
        return false;
    const std::uint8_t* p = format.data();
    h.biSize = get32(p);
    if (h.biSize < 40 || h.biSize > format.size())
        return false;
    h.biWidth = static_cast<std::int32_t>(get32(p + 4));
    h.biHeight = static_cast<std::int32_t>(get32(p + 8));
    h.biPlanes = get16(p + 12);
    h.biBitCount = get16(p + 14);
    h.biCompression = get32(p + 16);
    h.biSizeImage = get32(p + 20);
    h.biXPelsPerMeter = static_cast<std::int32_t>(get32(p + 24));
    h.biYPelsPerMeter = static_cast<std::int32_t>(get32(p + 28));
    h.biClrUsed = get32(p + 32);
    h.biClrImportant = get32(p + 36);
    return true;
}

// A chunk: its id, where its data starts and how many bytes of it lie
// within its parent (a chunk cut off by the file's end is shortened).
struct avi_file::chunk {
    FOURCC id = 0;
    std::uint64_t data = 0;
    std::uint64_t size = 0;
    bool cut = false;
};

class avi_file::parser {
public:
    explicit parser(avi_file& file)
        : m_file(file)
    {
    }

    void parse()
    {
        std::uint8_t head[12];
        if (!read(0, head, 12) || get32(head) != id_RIFF || get32(head + 8) != id_AVI)
            throw avi_error("not a RIFF AVI file");
        std::uint64_t end = riff_end(0, get32(head + 4));
        walk_top(12, end);
        // Files over 1 GiB continue in further RIFF "AVIX" lists.
        for (std::uint64_t at = end; at + 12 <= m_file.m_file_size;) {
            if (!read(at, head, 12) || get32(head) != id_RIFF || get32(head + 8) != id_AVIX)
                break;
            std::uint64_t next = riff_end(at, get32(head + 4));
            walk_top(at + 12, next);
            if (next <= at)
                break;
            at = next;
        }
        if (!m_found_video)
            throw avi_no_video_stream("no video stream");
        build_index();
    }

private:
    std::uint64_t riff_end(std::uint64_t at, std::uint32_t size) const
    {
        std::uint64_t end = at + 8 + std::uint64_t(size);
        // A zero or oversized length (a writer that stopped early) reaches to
        // the end of the file.
        if (size == 0 || end > m_file.m_file_size)
            end = m_file.m_file_size;
        return end;
    }

    bool read(std::uint64_t offset, void* target, std::size_t size) const
    {
        if (offset > m_file.m_file_size || size > m_file.m_file_size - offset)
            return false;
        auto* out = static_cast<std::uint8_t*>(target);
        while (size > 0) {
            ssize_t got = ::pread(m_file.m_fd, out, size, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            out += got;
            offset += static_cast<std::uint64_t>(got);
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

    // The chunk at `at` within a parent ending at `end`; false when no
    // header fits.
    bool chunk_at(std::uint64_t at, std::uint64_t end, chunk& c) const
    {
        std::uint8_t head[8];
        if (at + 8 > end || !read(at, head, 8))
            return false;
        c.id = get32(head);
        c.data = at + 8;
        c.size = get32(head + 4);
        c.cut = c.size > end - c.data;
        if (c.cut)
            c.size = end - c.data;
        return true;
    }

    static std::uint64_t next_of(const chunk& c) { return c.data + c.size + (c.size & 1); }

    FOURCC list_type(const chunk& c) const
    {
        std::uint8_t t[4];
        if (c.size < 4 || !read(c.data, t, 4))
            return 0;
        return get32(t);
    }

    void walk_top(std::uint64_t at, std::uint64_t end)
    {
        chunk c;
        while (chunk_at(at, end, c)) {
            if (c.id == id_LIST) {
                FOURCC type = list_type(c);
                if (type == id_hdrl && !m_found_video)
                    walk_hdrl(c.data + 4, c.data + c.size);
                else if (type == id_movi)
                    m_movi.push_back({ c.data, c.data + c.size });
            } else if (c.id == id_idx1 && m_idx1.size == 0 && !m_movi.empty()) {
                m_idx1 = c;
                m_idx1_movi = m_movi.back().first;
            }
            std::uint64_t next = next_of(c);
            if (next <= at)
                break;
            at = next;
        }
    }

    void walk_hdrl(std::uint64_t at, std::uint64_t end)
    {
        chunk c;
        int stream = 0;
        while (chunk_at(at, end, c)) {
            if (c.id == id_LIST && list_type(c) == id_strl) {
                if (walk_strl(c.data + 4, c.data + c.size)) {
                    m_stream = stream;
                    m_found_video = true;
                    return;
                }
                ++stream;
            }
            at = next_of(c);
        }
    }

    // True when the list describes a video stream (its header, format and
    // super-index are then taken).
    bool walk_strl(std::uint64_t at, std::uint64_t end)
    {
        chunk c;
        AVISTREAMINFO info;
        bool have_header = false;
        std::vector<std::uint8_t> format;
        chunk indx;
        while (chunk_at(at, end, c)) {
            if (c.id == id_strh && c.size >= 48) {
                std::uint8_t h[48];
                if (!read(c.data, h, 48))
                    return false;
                info.fccType = get32(h);
                info.fccHandler = get32(h + 4);
                info.dwFlags = get32(h + 8);
                info.dwScale = get32(h + 20);
                info.dwRate = get32(h + 24);
                info.dwStart = get32(h + 28);
                info.dwLength = get32(h + 32);
                info.dwSuggestedBufferSize = get32(h + 36);
                info.dwSampleSize = get32(h + 44);
                have_header = true;
            } else if (c.id == id_strf && format.empty()) {
                if (c.size > max_format_size)
                    throw avi_error("format block too large");
                format.resize(c.size);
                if (!read(c.data, format.data(), format.size()))
                    throw avi_error("format block cut off");
            } else if (c.id == id_indx) {
                indx = c;
            }
            at = next_of(c);
        }
        if (!have_header || info.fccType != streamtypeVIDEO)
            return false;
        m_file.m_info = info;
        m_file.m_format = std::move(format);
        m_indx = indx;
        return true;
    }

    bool our_chunk(FOURCC id) const
    {
        char t[4];
        for (int i = 0; i < 4; ++i)
            t[i] = static_cast<char>((id >> (8 * i)) & 0xFF);
        auto digit = [](char ch) -> int {
            if (ch >= '0' && ch <= '9')
                return ch - '0';
            if (ch >= 'a' && ch <= 'f')
                return ch - 'a' + 10;
            if (ch >= 'A' && ch <= 'F')
                return ch - 'A' + 10;
            return -1;
        };
        int hi = digit(t[0]);
        int lo = digit(t[1]);
        if (hi < 0 || lo < 0 || hi * 16 + lo != m_stream)
            return false;
        return (t[2] == 'd' && (t[3] == 'c' || t[3] == 'b'));
    }

    void build_index()
    {
        auto& samples = m_file.m_samples;
        samples.clear();
        if (m_indx.size > 0 && read_super_index())
            m_file.m_source = index_source::super_index;
        else if (samples.clear(), m_idx1.size > 0 && read_idx1())
            m_file.m_source = index_source::idx1;
        else {
            samples.clear();
            scan();
            m_file.m_source = index_source::scan;
        }
        // Entries whose bytes lie past the end of a cut file are dropped
        // from the end of the index; what remains decodes.
        while (!samples.empty() && samples.back().offset + samples.back().size > m_file.m_file_size)
            samples.pop_back();
        if (!samples.empty()
            && std::none_of(samples.begin(), samples.end(), [](const sample& s) { return s.key; }))
            samples.front().key = true;
        m_file.m_keys.clear();
        for (std::size_t i = 0; i < samples.size(); ++i)
            if (samples[i].key)
                m_file.m_keys.push_back(static_cast<int>(i));
    }

    // Entries a standard index holds, checked against its chunk.
    // Entries of a standard index, checked against its chunk and the file.
    // Only the header and the entries in use are read, and the entries of
    // all indexes together stay within what the file can hold, so that a
    // super-index naming one chunk over and over costs no more than the
    // file's size.
    bool read_standard_index(const chunk& c)
    {
        if (c.size < 24 || c.size > max_index_chunk)
            return false;
        std::uint8_t h[24];
        if (!read(c.data, h, sizeof h))
            return false;
        if (get16(h) != 2 || h[2] != 0 || h[3] != AVI_INDEX_OF_CHUNKS)
            return false;
        const std::uint64_t count = get32(h + 4);
        const std::uint64_t base = get64(h + 12);
        auto& samples = m_file.m_samples;
        if (count > (c.size - 24) / 8 || samples.size() + count > m_file.m_file_size / 8
            || base > m_file.m_file_size)
            return false;
        std::vector<std::uint8_t> entries(count * 8);
        if (!read(c.data + 24, entries.data(), entries.size()))
            return false;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint8_t* e = entries.data() + 8 * i;
            const std::uint32_t size = get32(e + 4);
            const std::uint64_t data = base + get32(e);
            if (data > m_file.m_file_size)
                return false;
            samples.push_back({ data, size & 0x7FFFFFFFu, (size & 0x80000000u) == 0 });
        }
        return true;
    }

    bool read_super_index()
    {
        if (m_indx.size < 24 || m_indx.size > max_index_chunk)
            return false;
        std::vector<std::uint8_t> bytes(m_indx.size);
        if (!read(m_indx.data, bytes.data(), bytes.size()))
            return false;
        const std::uint8_t* h = bytes.data();
        if (h[3] == AVI_INDEX_OF_CHUNKS)
            return read_standard_index(m_indx);
        if (get16(h) != 4 || h[2] != 0 || h[3] != AVI_INDEX_OF_INDEXES)
            return false;
        std::uint64_t count = get32(h + 4);
        // Every standard index takes at least 32 bytes of the file.
        if (count > (m_indx.size - 24) / 16 || count > m_file.m_file_size / 32)
            return false;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint8_t* e = h + 24 + 16 * i;
            std::uint64_t at = get64(e);
            chunk ix;
            if (at >= m_file.m_file_size || !chunk_at(at, m_file.m_file_size, ix) || ix.cut)
                return false;
            if (!read_standard_index(ix))
                return false;
        }
        return !m_file.m_samples.empty();
    }

    bool read_idx1()
    {
        std::uint64_t count = m_idx1.size / 16;
        if (count == 0)
            return false;
        std::vector<std::uint8_t> bytes(count * 16);
        if (!read(m_idx1.data, bytes.data(), bytes.size()))
            return false;
        // Offsets count from the "movi" list type, or (some writers) from
        // the start of the file: the first entry with data tells which.
        std::uint64_t base = 0;
        bool based = false;
        for (std::uint64_t i = 0; i < count && !based; ++i) {
            const std::uint8_t* e = bytes.data() + 16 * i;
            if (!our_chunk(get32(e)))
                continue;
            std::uint64_t offset = get32(e + 8);
            for (std::uint64_t candidate : { m_idx1_movi, std::uint64_t(0) }) {
                std::uint8_t head[8];
                if (read(candidate + offset, head, 8) && get32(head) == get32(e)) {
                    base = candidate;
                    based = true;
                    break;
                }
            }
            if (!based)
                return false;
        }
        if (!based)
            return false;
        auto& samples = m_file.m_samples;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint8_t* e = bytes.data() + 16 * i;
            if (!our_chunk(get32(e)))
                continue;
            std::uint64_t data = base + get32(e + 8) + 8;
            samples.push_back({ data, get32(e + 12), (get32(e + 4) & AVIIF_KEYFRAME) != 0 });
        }
        return !samples.empty();
    }

    void scan()
    {
        const BITMAPINFOHEADER* header = nullptr;
        BITMAPINFOHEADER h;
        if (read_bitmap_header(m_file.m_format, h))
            header = &h;
        m_all_key = header != nullptr
            && (h.biCompression == BI_RGB || h.biCompression == BI_BITFIELDS
                || intra_only(m_file.m_info.fccHandler, h.biCompression));
        for (const auto& [begin, end] : m_movi)
            scan_list(begin + 4, end, 0);
    }

    void scan_list(std::uint64_t at, std::uint64_t end, int depth)
    {
        chunk c;
        auto& samples = m_file.m_samples;
        while (chunk_at(at, end, c)) {
            if (c.cut)
                return;
            if (c.id == id_LIST) {
                if (depth < 4 && list_type(c) == id_rec)
                    scan_list(c.data + 4, c.data + c.size, depth + 1);
            } else if (our_chunk(c.id)) {
                samples.push_back(
                    { c.data, static_cast<std::uint32_t>(c.size), m_all_key || samples.empty() });
            }
            at = next_of(c);
        }
    }

    avi_file& m_file;
    bool m_found_video = false;
    int m_stream = 0;
    chunk m_indx;
    chunk m_idx1;
    std::uint64_t m_idx1_movi = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_movi;
    bool m_all_key = false;
};

avi_file::~avi_file()
{
    close();
}

void avi_file::open(const std::string& path)
{
    close();
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        throw avi_error(std::strerror(errno));
    struct stat st;
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close();
        throw avi_error("not a regular file");
    }
    m_file_size = static_cast<std::uint64_t>(st.st_size);
    try {
        parser(*this).parse();
    } catch (...) {
        close();
        throw;
    }
}

void avi_file::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_file_size = 0;
    m_info = {};
    m_format.clear();
    m_samples.clear();
    m_keys.clear();
    m_source = index_source::none;
}

int avi_file::find_sample(int n, int flags) const
{
    if (n < 0 || n >= length())
        return -1;
    if (!(flags & FIND_KEY))
        return n;
    if (flags & FIND_NEXT) {
        auto it = std::lower_bound(m_keys.begin(), m_keys.end(), n);
        return it == m_keys.end() ? -1 : *it;
    }
    auto it = std::upper_bound(m_keys.begin(), m_keys.end(), n);
    return it == m_keys.begin() ? -1 : *(it - 1);
}

bool avi_file::is_key(int n) const
{
    return n >= 0 && n < length() && m_samples[static_cast<std::size_t>(n)].key;
}

std::uint32_t avi_file::sample_size(int n) const
{
    return n >= 0 && n < length() ? m_samples[static_cast<std::size_t>(n)].size : 0;
}

void avi_file::read_sample(int n, std::vector<std::uint8_t>& buffer, std::size_t padding) const
{
    if (n < 0 || n >= length())
        throw avi_error("no such sample");
    const sample& s = m_samples[static_cast<std::size_t>(n)];
    if (s.offset > m_file_size || s.size > m_file_size - s.offset)
        throw avi_error("sample lies beyond the end of the file");
    if (s.size > max_sample_size)
        throw avi_error("sample too large");
    buffer.assign(s.size + padding, 0);
    std::size_t done = 0;
    while (done < s.size) {
        ssize_t got = ::pread(m_fd, buffer.data() + done, s.size - done, static_cast<off_t>(s.offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            throw avi_error(got < 0 ? std::strerror(errno) : "sample cut off");
        done += static_cast<std::size_t>(got);
    }
}

} // namespace platform
