#include "lumvex/avi/avi_file.h"

#include "platform/video/avi_file.h"

namespace img::avi {

exception::exception(std::string message)
    : xtd::exception(std::move(message))
{
}

std::string error_text(int code)
{
    switch (code) {
    case 0:
        return "ok (no error)";
    case 1:
        return "don't draw";
    case 2:
        return "new palette";
    case 3:
        return "go to keyfame";
    case 4:
        return "stop drawing";
    case -1:
        return "unsupported";
    case -2:
        return "bad format";
    case -3:
        return "memory (out of)";
    case -4:
        return "internal error";
    case -5:
        return "bad flags";
    case -6:
        return "bad param";
    case -7:
        return "bad size";
    case -8:
        return "bad handle";
    case -9:
        return "can't update";
    case -10:
        return "abort";
    case -100:
        return "error";
    case -200:
        return "bad bit depth";
    case -201:
        return "bad image size";
    default:
        return code < -400 ? "custom codec error" : "unknown error";
    }
}

file::file()
    : m_stream(new platform::avi_file)
{
}

file::~file() = default;

void file::open(const std::string& path)
{
    close();
    try {
        m_stream->open(path);
    } catch (const platform::avi_no_video_stream&) {
        throw exception("error getting main video stream of AVI: " + path);
    } catch (const platform::avi_error&) {
        throw exception("error opening AVI (possibly it's not a valid AVI file): " + path);
    }
    m_path = path;
}

void file::close()
{
    m_stream->close();
    m_path.clear();
}

bool file::is_open() const
{
    return m_stream->is_open();
}

int file::length() const
{
    return m_stream->length();
}

int file::key_frame_before(int n) const
{
    int key = m_stream->find_sample(n, platform::FIND_PREV | platform::FIND_KEY);
    if (key < 0)
        throw exception("can't find in AVI stream start position to read frame #" + std::to_string(n));
    return key;
}

int file::key_frame_from(int n) const
{
    return m_stream->find_sample(n, platform::FIND_NEXT | platform::FIND_KEY);
}

} // namespace img::avi
