#pragma once

// Images kept as PNG files in memory and in the project file: the grey mask
// of a frame record, and the XML forms of encoded 1-bit and grey masks.

#include <optional>
#include <string>

#include "foundation/image/image.h"
#include "foundation/numbers/extent.h"

namespace xml {
class stream;
}

namespace trm {

// An 8-bit grey image held as the bytes of a PNG file, or no image (empty
// bytes). A long segment's smoothed masks stay small this way.
//
// Threads: `decode` only reads the bytes through a stream of its own, so
// several threads may decode the same object at once, as long as none of
// them changes it (stored frame records are never changed).
class encoded_image {
public:
    // The image as PNG bytes; an image without pixels gives empty bytes.
    // The file is coded to be read back quickly (painting decodes every
    // shown frame's masks), at some cost in size; `decode` reads any PNG.
    // Throws img::io_error when the codec fails; the bytes are then kept.
    void encode(const img::image<unsigned char>& grey);

    // Empty bytes clear `grey`; otherwise `grey` is resized to the picture
    // (alignment 4, keeping its row order) and filled. Throws img::io_error
    // "Gdiplus::Bitmap reading failure" when the bytes are no image.
    void decode(img::image<unsigned char>& grey) const;

    // The PNG file; empty when there is no image.
    const std::string& bytes() const { return m_bytes; }
    // Takes bytes as they are (loading); they are checked only on decode.
    void assign(std::string bytes) { m_bytes = std::move(bytes); }

private:
    std::string m_bytes;
};

// True when there is no image.
bool is_empty(const encoded_image& image);

// The grey-mask element: attribute "encoded" with the bytes in hexadecimal,
// written only when there are any; a missing or empty attribute loads as no
// image.
xml::stream& operator||(xml::stream& s, encoded_image& image);

// The bit-image element: attribute "encoded" with the mask as a 1-bit PNG
// file in hexadecimal, written only when the mask has pixels. Loading
// decodes it into a mask of the picture's size (alignment 4, a pixel set
// where the picture is light); a missing or empty attribute empties the
// mask. Throws img::io_error when the text is no image.
void serialize_bit_image(xml::stream& s, img::image<img::bit>& mask);

// Loading a mask that must have `size` (a frame's mask): as loading with
// serialize_bit_image, but the picture's header is read first, and a picture
// claiming another size is not decoded at all (a few bytes may claim a huge
// one): the mask is left alone and the claimed size returned. Returns
// nothing when the mask was loaded. Throws img::io_error when the text is
// no image.
std::optional<types::extent<unsigned>> read_bit_image(
    xml::stream& s, img::image<img::bit>& mask, types::extent<unsigned> size);

// The width and height that encoded picture bytes claim, from the header
// alone: no pixel is decoded or allocated. Throws img::io_error
// "Gdiplus::Bitmap reading failure" when the bytes are no image.
types::extent<unsigned> encoded_size(const std::string& bytes);

// Every byte as two lowercase hexadecimal digits.
std::string to_hex(const std::string& bytes);
// Two characters at a time, white space skipped, each pair parsed in base 16
// (a pair that does not start with a digit gives 0); a single character left
// at the end is ignored.
std::string from_hex(const std::string& text);

} // namespace trm
