#include "vortel/image_sequence_writer.h"

#include "foundation/files/byte_stream.h"
#include "foundation/files/image_error.h"
#include "vortel/codec_registry.h"
#include "vortel/text.h"

#include <ios>
#include <system_error>

namespace vortel {

namespace {

constexpr const char* write_error = "could not open image file for writing or write error";

img::io_error file_error(const std::string& file, int error)
{
    return img::io_error(write_error, file, std::system_category().message(error));
}

} // namespace

image_sequence_writer::image_sequence_writer(
    const std::string& path, bool alpha, const std::string& extension)
    : m_path(path)
    , m_pattern(path)
    , m_alpha(alpha)
    , m_extension(extension.empty() ? file_extension(path) : extension)
{
    if (!m_extension.empty() && m_extension.front() == '.')
        m_extension.erase(0, 1);
}

image_sequence_writer::~image_sequence_writer()
{
    discard();
}

void image_sequence_writer::write(const img::image<img::BGRA<unsigned char>>& frame)
{
    const std::string name = m_pattern.Next();
    if (m_ended)
        throw img::io_error(write_error, name);
    if (!m_files.is_open())
        if (const int error = m_files.open(m_path))
            throw file_error(name, error);
    std::string temporary;
    if (const int error = m_files.reserve(name, temporary))
        throw file_error(name, error);
    // The codecs name the file they were given; the user knows the frame's.
    try {
        img::codec_registry().write(temporary, m_extension, frame, m_alpha);
    } catch (img::io_error& e) {
        m_files.withdraw();
        if (e.subject() == temporary)
            e.set_subject(name);
        throw;
    } catch (const std::ios_base::failure& e) {
        m_files.withdraw();
        throw img::io_error(write_error, name, xtd::system_reason(e));
    } catch (...) {
        m_files.withdraw();
        throw;
    }
    m_files.confirm();
}

void image_sequence_writer::finish()
{
    if (m_ended)
        return;
    m_ended = true;
    std::string failed;
    if (const int error = m_files.finish(failed))
        throw file_error(failed, error);
}

void image_sequence_writer::discard() noexcept
{
    m_ended = true;
    m_files.discard();
}

} // namespace vortel
