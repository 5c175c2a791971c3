#pragma once

// Access to the installed video compressors: the description of one
// (coder_info), a compressor opened for compression (coder) and the list of
// those that take 32- or 24-bit frames of a given size.
//
// Errors are img::avi::exception with the texts the user reads. A coder is
// used by one thread at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class video_compressor;
}

namespace img::avi {

// The size compressors are probed with wherever no other size is given.
inline constexpr unsigned probe_width = 720;
inline constexpr unsigned probe_height = 576;

// One installed compressor, as the settings store it and the dialog lists it.
struct coder_info {
    // The four-character handler code and a terminating NUL; a code of
    // fewer characters is padded with NUL bytes.
    char code[5] = {};
    std::string name;
    std::string description;
    // It takes the probe frame at 32 and at 24 bits per pixel.
    bool accepts_32 = false;
    bool accepts_24 = false;
    // Capability flags: a quality setting, temporal (delta) compression,
    // compression to a size.
    bool quality = false;
    bool temporal = false;
    bool crunch = false;
    // It has an about box and a configuration dialog.
    bool has_about = false;
    bool has_configure = false;

    // The code as a FourCC.
    std::uint32_t handler() const;
    // The code as text, up to its first NUL.
    std::string code_text() const;
};

// A compressor open for compression, or closed. It refers to the
// coder_info it was opened from (which must outlive it) and does not own it.
class coder {
public:
    coder();
    ~coder();
    // A copy of an open coder opens the same compressor on the same info
    // and takes the source's state; a copy of a closed one is closed.
    coder(const coder& other);
    coder& operator=(const coder& other);

    // Closes any open compressor, then opens the one of info's code.
    // Throws "error opening video compressor" when it is not installed.
    void open(const coder_info& info);
    // The same for a bare handler code; afterwards fills `info` from the
    // open compressor (probed at 720 x 576) and refers to it.
    void open_code(coder_info& info, std::uint32_t code);
    void close();
    bool is_open() const { return m_info != nullptr; }
    // The info it was opened from; null when closed.
    const coder_info* info() const { return m_info; }

    // The compressor's private state (empty for one without settings).
    // Throws "error getting state of video compressor" when closed or when
    // the state it reports is larger than any state may be.
    void get_state(std::vector<unsigned char>& state) const;
    // Gives it a state; an empty one restores its defaults. Throws "error
    // setting state of video compressor" when closed or when the compressor
    // refuses the state (a foreign or damaged block), leaving its state as
    // it was.
    void set_state(const std::vector<unsigned char>& state);

    // The open compressor, for the file writer.
    platform::video_compressor& compressor() const { return *m_handle; }

private:
    const coder_info* m_info = nullptr;
    std::unique_ptr<platform::video_compressor> m_handle;
};

// Fills `info` from an open compressor, probing it at width x height.
void fill_info(const platform::video_compressor& compressor, coder_info& info, unsigned width = probe_width,
    unsigned height = probe_height);

// Appends to `out` every installed compressor that takes frames of width x
// height at 32 or 24 bits per pixel.
void enumerate_coders(std::vector<coder_info>& out, unsigned width, unsigned height);

} // namespace img::avi
