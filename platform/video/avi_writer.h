#pragma once

// Writing AVI files with one video stream, as the AVI file functions do:
// open (create) the file, create the stream, set its format, append
// samples, close.
//
// The file is AVI 1.0 with an `idx1` index while its first RIFF list stays
// below the RIFF limit (1 GiB); past it the file goes on in "AVIX" RIFF
// lists with OpenDML indexes (a standard index per RIFF list and a super
// index in the stream header), and the first list keeps its `idx1` for
// readers that know only AVI 1.0. Closing completes the headers and the
// index for the samples written, also after a failed write: a sample whose
// bytes did not all reach the disc is cut off. Disc space for the closing
// index is reserved as samples are appended, so that a full disc fails a
// write, not the close.
//
// Operations return 0 or the system's error code (an errno value).
// Threads: one writer is used by one thread at a time.

#include "platform/kernel/temporary_file.h"
#include "platform/video/avi_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class avi_writer {
public:
    static constexpr std::uint64_t default_riff_limit = std::uint64_t(1) << 30;
    // Standard indexes the super index can name (one per RIFF list).
    static constexpr std::uint32_t max_riff_lists = 256;

    // `riff_limit`: the largest RIFF list, in bytes (tests make it small).
    explicit avi_writer(std::uint64_t riff_limit = default_riff_limit);
    // Discards a file that close did not complete (see discard): nothing
    // unfinished takes the place of a file by accident.
    ~avi_writer();
    avi_writer(const avi_writer&) = delete;
    avi_writer& operator=(const avi_writer&) = delete;

    // Starts the file (discarding one open before): it is written beside
    // `path` as a temporary that the writer holds locked (see
    // platform/kernel/temporary_file.h) and takes the place of any file there
    // when closed; until then an existing file stays as it was. Temporaries
    // that no running writer holds are removed from the folder first.
    int open(const std::string& path);
    // The stream: type, handler, rate and scale and the suggested buffer
    // size of `info`, and the frame rectangle {0, 0, width, height}.
    // EINVAL when a stream exists or the rate or scale is 0.
    int create_stream(const AVISTREAMINFO& info, std::int32_t width, std::int32_t height);
    // The format block (a bitmap header and what follows it); writes the
    // headers. EINVAL without a stream, after the first sample, or for a
    // block that is no bitmap header.
    int set_format(const std::vector<std::uint8_t>& format);
    // Appends one sample; `flags` AVIIF_KEYFRAME marks a key frame. EINVAL
    // before the format is set, EFBIG when the super index is full.
    int write(const std::uint8_t* data, std::uint32_t size, std::uint32_t flags);
    // Completes headers and index, flushes the file to the disc, closes it
    // and moves it to its path. On any error the new file is removed and a
    // file at the path stays as it was. A file closed before its format was
    // set is discarded (it holds no AVI).
    int close();
    // Closes and removes the file; a file at the path stays as it was.
    void discard();

    bool is_open() const { return m_fd >= 0; }
    std::uint32_t samples() const { return std::uint32_t(m_index.size()); }
    // RIFF lists so far (1 while the file is AVI 1.0).
    std::size_t riff_lists() const { return m_riffs.size(); }

private:
    struct entry {
        std::uint64_t offset; // of the chunk's data
        std::uint32_t size;
        bool key;
    };
    struct riff {
        std::uint64_t start; // of "RIFF"
        std::uint64_t movi; // of the "movi" list type
        std::uint32_t first; // first sample
        std::uint64_t ix_offset = 0; // of its standard index chunk
        std::uint32_t ix_size = 0;
        std::uint32_t size = 0; // of the RIFF list, once finished
        std::uint32_t movi_size = 0;
        bool finished = false; // its index is written and its sizes patched
    };

    std::vector<std::uint8_t> headers() const;
    int put(std::uint64_t at, const void* data, std::size_t size);
    int finish_riff(bool last);
    int patch_sizes(const riff& r);
    int start_riff();
    int reserve_trailer(std::uint32_t more);
    std::uint32_t chunk_id() const;

    std::uint64_t m_riff_limit;
    temporary_file m_temporary;
    // The temporary's descriptor while samples may be written.
    int m_fd = -1;
    std::string m_path;
    bool m_stream = false;
    bool m_headers_written = false;
    AVISTREAMINFO m_info;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::vector<std::uint8_t> m_format;
    bool m_compressed = true;
    std::uint64_t m_end = 0;
    std::uint64_t m_reserved_to = 0;
    std::uint32_t m_max_sample = 0;
    std::vector<entry> m_index;
    std::vector<riff> m_riffs;
};

} // namespace platform
