#pragma once

// The image-file writers of rendered image sequences, chosen by extension:
// the library's BMP/TGA codec first, then the codec of the platform's image
// encoders (BMP, JPEG, GIF, TIFF, PNG). Built afresh wherever needed; it
// owns its codecs. Stateless once built: any thread may use it.

#include "lumvex/files/image_codec.h"

#include <memory>
#include <string>
#include <vector>

namespace img {

class codec_registry : public writer {
public:
    codec_registry();
    codec_registry(const codec_registry&) = delete;
    codec_registry& operator=(const codec_registry&) = delete;

    // The first codec's extensions, then each later codec's that are not
    // listed yet: BMP, TGA, JPEG, JPG, GIF, TIF, TIFF, PNG.
    void extensions(std::vector<std::string>& out) const override;
    // Whether the extension, upper-cased, is listed.
    bool supports(const std::string& extension) const;
    // Writes through the codecs that list the extension, in order: when one
    // fails and a later one lists it too, the later one writes instead;
    // the last one's error reaches the caller. An extension no codec lists
    // gets the last codec's "file format is not supported".
    void write(const std::string& path, const std::string& format, const image<BGRA<unsigned char>>& image,
        bool alpha) const override;

private:
    std::vector<std::unique_ptr<writer>> m_codecs;
};

} // namespace img
