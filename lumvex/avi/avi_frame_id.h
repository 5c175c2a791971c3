#pragma once

#include "lumvex/cache/cache.h"
#include "lumvex/cache/file_stamp.h"

#include <string>

namespace lumvex {

// The cache key of one frame of an AVI file. It cannot produce its image:
// the footage's reader thread decodes frames and puts them into the cache
// (its request key derives from this one and compares equal to it).
class avi_frame_id : public item_id {
public:
    // `path` is the AVI file's full path, `duration` its frame count,
    // `stamp` the file's stamp when it was opened; `cacheable` is what
    // disc_cacheable reports.
    avi_frame_id(int frame, std::string path, int duration, bool cacheable, file_stamp stamp = {});

    // Equal to an avi_frame_id (or derived) of the same frame, path (exactly),
    // duration and file stamp.
    bool equals(const item_id& other) const override;
    // The file name without folder and extension, ".", and the frame number
    // zero-filled to six digits ("walk.000042").
    std::string key() const override;
    // The header line "AVI frame: (fullpath to avi, its duration, frame
    // number)", then path, duration, frame and the file stamp, each on its
    // own line.
    void describe(std::ostream& out) const override;
    bool can_produce() const override { return false; }
    void produce(img::image<img::BGRA<unsigned char>>&) const override { }
    bool threaded() const override { return false; }
    void request() const override { }
    bool disc_cacheable() const override { return m_cacheable; }

    int frame() const { return m_frame; }
    const std::string& path() const { return m_path; }
    int duration() const { return m_duration; }
    const file_stamp& stamp() const { return m_stamp; }

private:
    int m_frame;
    std::string m_path;
    int m_duration;
    bool m_cacheable;
    file_stamp m_stamp;
};

// Rebuilds an avi_frame_id (disc-cacheable) from its description: the exact
// header line, the path line, then duration and frame as decimal integers,
// and the file stamp. A description without a readable stamp (one written
// before stamps were kept, or cut short) yields a key of the unknown stamp,
// which no opened file has: its image is never handed out again.
class avi_frame_id_deserializer : public item_id_deserializer {
public:
    boost::shared_ptr<item_id> deserialize(std::istream& description) const override;
};

} // namespace lumvex
