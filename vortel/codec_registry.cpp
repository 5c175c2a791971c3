#include "vortel/codec_registry.h"

#include "lumvex/files/gdiplus_reader.h"
#include "vortel/bmp_tga_codec.h"
#include "vortel/text.h"

#include <algorithm>

namespace img {

namespace {

bool lists(const writer& codec, const std::string& upper_extension)
{
    std::vector<std::string> list;
    codec.extensions(list);
    return std::find(list.begin(), list.end(), upper_extension) != list.end();
}

} // namespace

codec_registry::codec_registry()
{
    m_codecs.push_back(std::make_unique<bmp_tga_codec>());
    m_codecs.push_back(std::make_unique<gdiplus_writer>());
}

void codec_registry::extensions(std::vector<std::string>& out) const
{
    std::vector<std::string> all;
    for (const auto& codec : m_codecs) {
        std::vector<std::string> list;
        codec->extensions(list);
        for (const auto& e : list)
            if (std::find(all.begin(), all.end(), e) == all.end())
                all.push_back(e);
    }
    out.insert(out.end(), all.begin(), all.end());
}

bool codec_registry::supports(const std::string& extension) const
{
    std::vector<std::string> list;
    extensions(list);
    return std::find(list.begin(), list.end(), vortel::upper_case(extension)) != list.end();
}

void codec_registry::write(const std::string& path, const std::string& format,
    const image<BGRA<unsigned char>>& image, bool alpha) const
{
    const std::string upper = vortel::upper_case(format);
    std::vector<const writer*> candidates;
    for (const auto& codec : m_codecs)
        if (lists(*codec, upper))
            candidates.push_back(codec.get());
    if (candidates.empty()) {
        m_codecs.back()->write(path, format, image, alpha);
        return;
    }
    for (std::size_t i = 0; i + 1 < candidates.size(); ++i) {
        try {
            candidates[i]->write(path, format, image, alpha);
            return;
        } catch (...) {
            // The next codec that lists the extension tries the same file.
        }
    }
    candidates.back()->write(path, format, image, alpha);
}

} // namespace img
