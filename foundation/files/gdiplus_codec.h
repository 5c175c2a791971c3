#pragma once

// Encoded images (BMP, JPEG, GIF, TIFF, PNG) read from and written to byte
// streams through the platform's image codecs. The engine keeps its masks as
// PNG data this way; the file codecs build on the same functions.
//
// Errors are img::io_error with an empty subject (their text ends in ": ")
// and the codec's reason; callers that know the file name it, and the text
// then shows the reason too. Any thread may call these functions.

#include "foundation/image/image.h"
#include "foundation/numbers/extent.h"
#include "platform/imaging/imaging.h"

#include <istream>
#include <ostream>

namespace img {

// The encoders, by their MIME types: 0 "image/bmp", 1 "image/jpeg",
// 2 "image/gif", 3 "image/tiff", 4 "image/png".
enum class image_format { bmp = 0, jpeg = 1, gif = 2, tiff = 3, png = 4 };

const char* mime_type(image_format format);

// How hard the PNG encoder works (`standard`, `fast` or `quick_read`);
// other formats ignore it.
using png_compression = platform::imaging::png_compression;

// Decodes the image at the stream's position into `image`, which is resized
// to the picture's size with 4-byte rows, keeping its row order. Images
// without alpha get alpha 255. `has_alpha`, when given, tells whether the
// file's pixel format has alpha. The claimed size is checked (limits and the
// stream's length) before the image is resized; when the pixels then fail
// to decode, the image is left empty (its memory released). Throws
// img::io_error "Gdiplus::Bitmap reading failure" when the data is no image
// or its header is damaged or absurd, "Gdiplus::Bitmap::LockBits failure"
// when its pixels cannot be decoded.
void gdiplus_read_bgra(std::istream& in, image<BGRA<unsigned char>>& image, bool* has_alpha = nullptr);

// As gdiplus_read_bgra, into a grey image that takes the blue component of
// each pixel (the grey level of grey pictures).
void gdiplus_read_grey(std::istream& in, image<unsigned char>& image);

// The width and height the data at the stream's position claims, from its
// header alone: no pixel is decoded or allocated. Throws img::io_error
// "Gdiplus::Bitmap reading failure" when the data is no image or its header
// is damaged.
types::extent<unsigned> gdiplus_read_size(std::istream& in);

// Checks the header as gdiplus_read_bgra does before it allocates anything,
// without decoding: throws img::too_large when the claimed size passes the
// limits (check_image_size), img::io_error "Gdiplus::Bitmap reading failure"
// when the data is no image, its header is damaged or it cannot hold that
// size.
void gdiplus_check_size(std::istream& in);

// Writes a bit image as a 1-bit picture (0 black, 1 white), a grey image as
// an 8-bit grey one, in the given format; a 32-bit image as colour, with its
// alpha when `alpha`, PNG data with the given compression. Throws
// img::io_error "Gdiplus::Bitmap::Save failure" when the image has no pixels
// or the codec or the stream fails, with the codec's reason or, for a stream
// that failed with a system error (a file on a full disc), the system's.
void gdiplus_write_bit(std::ostream& out, const image<bit>& image, image_format format);
void gdiplus_write_grey(std::ostream& out, const image<unsigned char>& image, image_format format,
    png_compression compression = png_compression::standard);
void gdiplus_write_bgra(std::ostream& out, const image<BGRA<unsigned char>>& image, image_format format,
    bool alpha, png_compression compression = png_compression::standard);

} // namespace img
