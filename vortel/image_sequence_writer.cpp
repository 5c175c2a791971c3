#include "vortel/image_sequence_writer.h"

#include "vortel/codec_registry.h"
#include "vortel/text.h"

namespace vortel {

image_sequence_writer::image_sequence_writer(
    const std::string& path, bool alpha, const std::string& extension)
    : m_pattern(path)
    , m_alpha(alpha)
    , m_extension(extension.empty() ? file_extension(path) : extension)
{
    if (!m_extension.empty() && m_extension.front() == '.')
        m_extension.erase(0, 1);
}

void image_sequence_writer::write(const img::image<img::BGRA<unsigned char>>& frame)
{
    const std::string name = m_pattern.Next();
    img::codec_registry().write(name, m_extension, frame, m_alpha);
}

} // namespace vortel
