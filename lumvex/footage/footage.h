#pragma once

// The abstract source of numbered frames that the whole system reads video
// through, its "no deinterlacing" base, and the XML form shared by its kinds.
//
// A footage names each frame by a cache key and hands out the entry that the
// image cache holds for it. Frames are numbered 0 to frame_count() - 1.
// `frame`, `cached_frame` and `frame_id` may be called from any thread;
// `serialize` and the setters run on the UI thread.

#include "foundation/numbers/extent.h"
#include "foundation/numbers/fraction.h"
#include "foundation/xml/xml_stream.h"
#include "lumvex/cache/cache.h"
#include "lumvex/export.h"

#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

namespace lumvex {

// Field order of deinterlacing; XML words "off", "upper_first",
// "lower_first".
enum class deinterlace_fields { off = 0, upper_first = 1, lower_first = 2 };
// Deinterlacing method; XML words "duplicate", "interpolate".
enum class deinterlace_method { duplicate = 0, interpolate = 1 };

const char* const* enum_names(deinterlace_fields);
const char* const* enum_names(deinterlace_method);

// The request bits of `footage::frame`: the caller will ask next for frames
// before (1) or after (2) the one it asks for now.
namespace frame_request {
inline constexpr int before = 1;
inline constexpr int after = 2;
} // namespace frame_request

class LUMVEX_API footage {
public:
    virtual ~footage() = default;

    // The cache key of a frame.
    virtual boost::shared_ptr<item_id> frame_id(int frame) = 0;
    // The frame through the cache. `request` (frame_request bits) lets the
    // footage read ahead; with `wait` the call produces the frame if needed
    // and returns it, without it the kinds with reader threads may queue
    // the read and return an empty pointer.
    virtual boost::shared_ptr<cached_image> frame(int frame, int request, bool wait) = 0;
    // The frame when it is cached; never produces.
    virtual boost::shared_ptr<cached_image> cached_frame(int frame) = 0;
    // The cache the footage reads through (not owned).
    virtual cache* image_cache() const = 0;
    // Writes (stream writing) or reads (stream reading) the kind's attributes
    // on the stream's element; paths are stored relative to `base_path`, the
    // project file's folder. Reading reopens the footage; its errors pass on.
    virtual void serialize(xml::stream& stream, const std::string& base_path) = 0;
    // The file the footage stands for.
    virtual std::string path() const = 0;
    // Every file the footage reads its frames from (each member of an image
    // sequence), as the system opens it (paths::native); by default the
    // file it stands for, when it names one.
    virtual std::vector<std::string> files() const;
    // A one-line text for the user.
    virtual std::string description() const = 0;
    virtual int frame_count() const = 0;
    // The number carried by the first frame's file name (image sequences),
    // else 0; it only labels frames.
    virtual int first_frame_number() const = 0;
    virtual types::extent<unsigned> frame_size() const = 0;
    // The frames carry a meaningful alpha channel.
    virtual bool has_alpha() const = 0;
    virtual void set_fields(deinterlace_fields fields) = 0;
    virtual deinterlace_fields fields() const = 0;
    virtual void set_method(deinterlace_method method) = 0;
    virtual deinterlace_method method() const = 0;
    // Frames per second; {0, 0} when unknown.
    virtual fraction frame_rate() const = 0;
};

// The base of the kinds that do not deinterlace: the field order is always
// off and the method duplicate; setting them changes nothing.
class footage_simple_impl : public footage {
public:
    void set_fields(deinterlace_fields) override { }
    deinterlace_fields fields() const override { return deinterlace_fields::off; }
    void set_method(deinterlace_method) override { }
    deinterlace_method method() const override { return deinterlace_method::duplicate; }
};

// The XML form of the file-based kinds: "type" first, then the file
// attribute holding `path` relative to `base_path`.
void write_footage_file(xml::stream& stream, const std::string& type, const std::string& attribute,
    const std::string& path, const std::string& base_path);

// Reads "type" (xml::attribute_not_found when missing) and throws
// lumvex::exception with `error` when it is not `type`.
void check_footage_type(const xml::stream& stream, const std::string& type, const std::string& error);

// check_footage_type, then the file attribute made absolute against
// `base_path` (xml::attribute_not_found when missing).
std::string read_footage_file(const xml::stream& stream, const std::string& type,
    const std::string& attribute, const std::string& base_path, const std::string& error);

} // namespace lumvex
