#pragma once

// The image-file codecs: readers that fill 32-bit colour images from files and
// writers that write them, each reporting the upper-case extensions it
// handles; and the reader list that tries several readers in turn.
//
// Codecs keep no state: any thread may use them, also the same codec at once.
// Errors are img::io_error (and img::unsupported, img::corrupt) from
// foundation/files/image_error.h.

#include "foundation/image/image.h"
#include "lumvex/export.h"

#include <memory>
#include <string>
#include <vector>

namespace img {

// What a reader tells about an image file without reading its pixels.
struct image_info {
    std::string path;
    std::string format;
    unsigned width = 0;
    unsigned height = 0;
    unsigned bits_per_pixel = 0;
    // Readers' own: 1 for uncompressed BMP and TGA data, 0 otherwise.
    unsigned fourth = 0;
};

class LUMVEX_API ext_provider {
public:
    virtual ~ext_provider() = default;
    // Appends the extensions handled: upper case, without dot.
    virtual void extensions(std::vector<std::string>& out) const = 0;
    // "*." + each extension, joined by ";" (empty for no extension).
    virtual std::string filter() const;
};

class LUMVEX_API reader : public ext_provider {
public:
    // Information of the file read as `format` ("BMP", "PNG", ...); false
    // when it is no such file or cannot be read. Never throws for a bad file.
    virtual bool info(const std::string& path, const std::string& format, image_info* out) const = 0;
    // The same, the reader choosing the format.
    virtual bool info(const std::string& path, image_info* out) const = 0;
    // Whether `info` tells from the file itself whether this reader reads it.
    virtual bool can_probe() const = 0;
    // Reads the file as `format` into `out` (resized to the picture).
    virtual void read(
        const std::string& path, const std::string& format, image<BGRA<unsigned char>>& out) const = 0;
    virtual void read(const std::string& path, image<BGRA<unsigned char>>& out) const = 0;
    // Why this reader refuses the file for its size, told from its header
    // alone ("the image is too large: 17000 x 17000 pixels, more than ..."),
    // without the file; empty when it does not refuse it so (also when it is
    // no file of this reader's). Nothing of the pixels is decoded.
    virtual std::string size_refusal(const std::string& path) const;
};

class LUMVEX_API writer : public ext_provider {
public:
    // Writes `image` to `path` as `format`, with its alpha when `alpha`.
    virtual void write(const std::string& path, const std::string& format,
        const image<BGRA<unsigned char>>& image, bool alpha) const = 0;
};

// Several readers tried in order; owns them.
class LUMVEX_API reader_list : public reader {
public:
    reader_list() = default;
    reader_list(const reader_list&) = delete;
    reader_list& operator=(const reader_list&) = delete;

    void add(std::unique_ptr<reader> reader);

    // The first reader's extensions, then each further reader's that are not
    // listed yet.
    void extensions(std::vector<std::string>& out) const override;
    // True at the first reader whose `info` is true.
    bool info(const std::string& path, const std::string& format, image_info* out) const override;
    bool info(const std::string& path, image_info* out) const override;
    bool can_probe() const override;
    // Reads with the first reader that cannot probe, or that probes the file
    // successfully; with the last reader when none was chosen before. When a
    // reader that did not probe the file fails, and another refuses the file
    // for its size, the error is that refusal (img::too_large, "the image is
    // too large: ..."). A failed read leaves `out` empty, its memory
    // released before the refusal is looked for, so that reading one file
    // never holds more than one reader's picture.
    void read(
        const std::string& path, const std::string& format, image<BGRA<unsigned char>>& out) const override;
    void read(const std::string& path, image<BGRA<unsigned char>>& out) const override;

    // Why the file is refused for its size, in the words of the first
    // reader that refuses it so from its header; empty when none does.
    std::string size_refusal(const std::string& path) const override;

private:
    // The reader `read` uses; `probed` tells whether it took the file by
    // probing it.
    const reader& choose(const std::string& path, const std::string* format, bool& probed) const;
    void read_chosen(
        const std::string& path, const std::string* format, image<BGRA<unsigned char>>& out) const;

    std::vector<std::unique_ptr<reader>> m_readers;
};

// The library's reader list: the BMP/TGA reader, then the GDI+ reader.
LUMVEX_API const reader_list& default_readers();

// The text for an image file that `readers` do not take: "could not read
// file or unknown image format: " + `shown` (the path as the user knows it);
// for a file refused for its size, the size refusal + ": " + `shown`
// instead. `path` is the file as the readers open it.
std::string unreadable_image_text(
    const reader_list& readers, const std::string& path, const std::string& shown);

// Whether two texts are equal ignoring the case of ASCII letters.
bool equal_ignoring_case(const std::string& a, const std::string& b);

} // namespace img
