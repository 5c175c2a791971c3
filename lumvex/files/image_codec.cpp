#include "lumvex/files/image_codec.h"

#include "foundation/files/image_error.h"
#include "lumvex/files/bmp_tga_reader.h"
#include "lumvex/files/gdiplus_reader.h"

#include <algorithm>
#include <cctype>

namespace img {

std::string reader::size_refusal(const std::string&) const
{
    return {};
}

std::string ext_provider::filter() const
{
    std::vector<std::string> list;
    extensions(list);
    std::string text;
    for (const std::string& extension : list) {
        if (!text.empty())
            text += ';';
        text += "*." + extension;
    }
    return text;
}

void reader_list::add(std::unique_ptr<reader> reader)
{
    m_readers.push_back(std::move(reader));
}

void reader_list::extensions(std::vector<std::string>& out) const
{
    for (const auto& reader : m_readers) {
        std::vector<std::string> own;
        reader->extensions(own);
        for (std::string& extension : own) {
            if (std::find(out.begin(), out.end(), extension) == out.end())
                out.push_back(std::move(extension));
        }
    }
}

bool reader_list::info(const std::string& path, const std::string& format, image_info* out) const
{
    return std::any_of(m_readers.begin(), m_readers.end(),
        [&](const auto& reader) { return reader->info(path, format, out); });
}

bool reader_list::info(const std::string& path, image_info* out) const
{
    return std::any_of(
        m_readers.begin(), m_readers.end(), [&](const auto& reader) { return reader->info(path, out); });
}

bool reader_list::can_probe() const
{
    return std::any_of(
        m_readers.begin(), m_readers.end(), [](const auto& reader) { return reader->can_probe(); });
}

const reader& reader_list::choose(const std::string& path, const std::string* format, bool& probed) const
{
    if (m_readers.empty())
        throw io_error("file format is not supported", path);
    probed = false;
    for (const auto& reader : m_readers) {
        if (!reader->can_probe())
            return *reader;
        if (format ? reader->info(path, *format, nullptr) : reader->info(path, nullptr)) {
            probed = true;
            return *reader;
        }
    }
    return *m_readers.back();
}

void reader_list::read_chosen(
    const std::string& path, const std::string* format, image<BGRA<unsigned char>>& out) const
{
    bool probed = false;
    const reader& chosen = choose(path, format, probed);
    try {
        if (format)
            chosen.read(path, *format, out);
        else
            chosen.read(path, out);
    } catch (const too_large&) {
        out.clear();
        throw;
    } catch (const io_error&) {
        // The failed picture goes first: it may be as large as any read.
        out.clear();
        // A reader chosen without knowing the file may not know its format;
        // one that knows the format but refuses the size says so instead.
        const std::string refusal = probed ? std::string() : size_refusal(path);
        if (!refusal.empty())
            throw too_large(refusal, path);
        throw;
    } catch (...) {
        out.clear();
        throw;
    }
}

void reader_list::read(
    const std::string& path, const std::string& format, image<BGRA<unsigned char>>& out) const
{
    read_chosen(path, &format, out);
}

void reader_list::read(const std::string& path, image<BGRA<unsigned char>>& out) const
{
    read_chosen(path, nullptr, out);
}

std::string reader_list::size_refusal(const std::string& path) const
{
    for (const auto& reader : m_readers) {
        std::string refusal = reader->size_refusal(path);
        if (!refusal.empty())
            return refusal;
    }
    return {};
}

const reader_list& default_readers()
{
    static const std::unique_ptr<reader_list> list = [] {
        auto readers = std::make_unique<reader_list>();
        readers->add(std::make_unique<bmp_tga_reader>());
        readers->add(std::make_unique<gdiplus_reader>());
        return readers;
    }();
    return *list;
}

std::string unreadable_image_text(
    const reader_list& readers, const std::string& path, const std::string& shown)
{
    // A file refused for its size is of a known format: saying otherwise
    // would send the user looking for a fault the file does not have.
    const std::string refusal = readers.size_refusal(path);
    if (!refusal.empty())
        return too_large(refusal, shown).what();
    return "could not read file or unknown image format: " + shown;
}

bool equal_ignoring_case(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
    });
}

} // namespace img
