// The AVI reader on arbitrary bytes: the RIFF walk, the stream headers, the
// OpenDML super-index, idx1 and the rebuilt index, then every sample read
// and decoded, must end in a clean error or a result, never a fault, a hang
// or a huge allocation.

#include "platform/video/avi_file.h"
#include "platform/video/video_decompressor.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    char name[] = "/tmp/fuzz_avi_XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        return 0;
    bool written = ::write(fd, data, size) == static_cast<ssize_t>(size);
    ::close(fd);
    if (written) {
        platform::avi_file file;
        try {
            file.open(name);
            int n = file.length();
            std::vector<std::uint8_t> sample;
            auto decompressor
                = platform::video_decompressor::locate(file.stream_info().fccHandler, file.format());
            std::vector<std::uint8_t> picture;
            // Decoding is bounded so that a large claimed picture costs no
            // more than the size checks let through.
            if (decompressor && std::uint64_t(decompressor->width()) * decompressor->height() <= (1u << 20))
                picture.resize(std::size_t(decompressor->width()) * decompressor->height() * 4);
            for (int i = 0; i < n && i < 64; ++i) {
                file.find_sample(i, platform::FIND_PREV | platform::FIND_KEY);
                file.find_sample(i, platform::FIND_NEXT | platform::FIND_KEY);
                try {
                    file.read_sample(i, sample, platform::video_decompressor::input_padding);
                } catch (const platform::avi_error&) {
                    continue;
                }
                if (!picture.empty()) {
                    decompressor->decode(
                        sample.data(), sample.size() - platform::video_decompressor::input_padding);
                    while (
                        decompressor->next_frame(picture.data(), std::ptrdiff_t(decompressor->width()) * 4)) {
                    }
                }
            }
            if (!picture.empty()) {
                decompressor->finish();
                while (decompressor->next_frame(picture.data(), std::ptrdiff_t(decompressor->width()) * 4)) {
                }
            }
        } catch (const platform::avi_error&) {
        }
    }
    ::unlink(name);
    return 0;
}
