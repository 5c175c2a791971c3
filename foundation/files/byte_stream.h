#pragma once

// Binary byte streams for the image codecs: plain input and output streams
// over a stream buffer (the codecs use only unformatted block reads and
// writes), files opened in binary mode, and writing a file safely.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>

namespace xtd {

// An output byte stream, either over a caller's stream buffer or over a file
// of its own opened for binary writing (created or truncated).
template <class Ch, class Tr = std::char_traits<Ch>>
class basic_bostream : public std::basic_ostream<Ch, Tr> {
public:
    explicit basic_bostream(std::basic_streambuf<Ch, Tr>* buffer)
        : std::basic_ostream<Ch, Tr>(buffer)
    {
    }
    // A file that cannot be opened leaves the stream failed (failbit).
    explicit basic_bostream(const std::filesystem::path& path)
        : std::basic_ostream<Ch, Tr>(nullptr)
        , m_file(std::make_unique<std::basic_filebuf<Ch, Tr>>())
    {
        this->init(m_file.get());
        if (!m_file->open(path, std::ios::out | std::ios::trunc | std::ios::binary))
            this->setstate(std::ios::failbit);
    }

private:
    std::unique_ptr<std::basic_filebuf<Ch, Tr>> m_file;
};

// An input byte stream, over a caller's stream buffer or over a file of its
// own opened for binary reading.
template <class Ch, class Tr = std::char_traits<Ch>>
class basic_bistream : public std::basic_istream<Ch, Tr> {
public:
    explicit basic_bistream(std::basic_streambuf<Ch, Tr>* buffer)
        : std::basic_istream<Ch, Tr>(buffer)
    {
    }
    explicit basic_bistream(const std::filesystem::path& path)
        : std::basic_istream<Ch, Tr>(nullptr)
        , m_file(std::make_unique<std::basic_filebuf<Ch, Tr>>())
    {
        this->init(m_file.get());
        if (!m_file->open(path, std::ios::in | std::ios::binary))
            this->setstate(std::ios::failbit);
    }

private:
    std::unique_ptr<std::basic_filebuf<Ch, Tr>> m_file;
};

using bostream = basic_bostream<char>;
using bistream = basic_bistream<char>;

// Bytes from the stream's position to its end; the position is kept. The
// largest 64-bit value when the stream cannot tell (it cannot seek).
std::uint64_t remaining_bytes(std::istream& in);

// Writes a file through `writer`, which gets a binary output stream that
// throws std::ios_base::failure on any failure, and returns the bytes
// written. The file is saved as every file of the system is
// (xml::replace_file): an existing file is replaced only once the new one is
// complete and flushed to the disc, keeps its permissions, and a symbolic
// link keeps pointing to it; on any failure the old file stays as it was.
// Failures throw std::ios_base::failure (or what `writer` throws).
std::uint64_t write_binary_file(const std::string& path, const std::function<void(std::ostream&)>& writer);

// The system's text for a stream failure (a full disc: "No space left on
// device"), as write_binary_file and the file streams under it report them;
// empty when the failure carries no system error.
std::string system_reason(const std::ios_base::failure& failure);

template <class T, class Writer>
std::uint64_t write_binary_file(const std::string& path, const T& object, Writer writer)
{
    return write_binary_file(
        path, std::function<void(std::ostream&)>([&](std::ostream& out) { writer(out, object); }));
}

} // namespace xtd
