#include "vortel/avi_coder.h"

#include "lumvex/avi/avi_file.h"
#include "platform/video/video_compressor.h"
#include "platform/video/video_decompressor.h"

#include <algorithm>

namespace img::avi {

namespace {

// No compressor of ours keeps more; a larger state is a fault.
constexpr std::size_t max_state_size = 1 << 16;

platform::BITMAPINFOHEADER probe(unsigned width, unsigned height, std::uint16_t bits)
{
    platform::BITMAPINFOHEADER h;
    h.biSize = 40;
    h.biWidth = std::int32_t(width);
    h.biHeight = std::int32_t(height);
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = platform::BI_RGB;
    return h;
}

} // namespace

std::uint32_t coder_info::handler() const
{
    return platform::mmioFOURCC(code[0], code[1], code[2], code[3]);
}

std::string coder_info::code_text() const
{
    return std::string(code, std::find(code, code + 4, '\0'));
}

void fill_info(
    const platform::video_compressor& compressor, coder_info& info, unsigned width, unsigned height)
{
    info.accepts_32 = compressor.query(probe(width, height, 32)) == platform::ICERR_OK;
    info.accepts_24 = compressor.query(probe(width, height, 24)) == platform::ICERR_OK;
    const platform::ICINFO& i = compressor.info();
    for (int k = 0; k < 4; ++k)
        info.code[k] = char((i.fccHandler >> (8 * k)) & 0xFF);
    info.code[4] = '\0';
    info.name = i.szName;
    info.description = i.szDescription;
    info.quality = (i.dwFlags & platform::VIDCF_QUALITY) != 0;
    info.temporal = (i.dwFlags & platform::VIDCF_TEMPORAL) != 0;
    info.crunch = (i.dwFlags & platform::VIDCF_CRUNCH) != 0;
    // Our compressors keep their settings in their state only; none has an
    // about box or a configuration dialog of its own.
    info.has_about = false;
    info.has_configure = false;
}

coder::coder() = default;

coder::~coder() = default;

coder::coder(const coder& other)
{
    *this = other;
}

coder& coder::operator=(const coder& other)
{
    if (this == &other)
        return *this;
    if (!other.is_open()) {
        close();
        return *this;
    }
    std::vector<unsigned char> state;
    other.get_state(state);
    open(*other.m_info);
    set_state(state);
    return *this;
}

void coder::open(const coder_info& info)
{
    close();
    m_handle = platform::video_compressor::open(info.handler());
    if (!m_handle)
        throw exception("error opening video compressor");
    m_info = &info;
}

void coder::open_code(coder_info& info, std::uint32_t code)
{
    close();
    m_handle = platform::video_compressor::open(code);
    if (!m_handle)
        throw exception("error opening video compressor");
    fill_info(*m_handle, info);
    m_info = &info;
}

void coder::close()
{
    m_handle.reset();
    m_info = nullptr;
}

void coder::get_state(std::vector<unsigned char>& state) const
{
    if (!is_open())
        throw exception("error getting state of video compressor");
    std::vector<std::uint8_t> block = m_handle->state();
    if (block.size() > max_state_size)
        throw exception("error getting state of video compressor");
    state.assign(block.begin(), block.end());
}

void coder::set_state(const std::vector<unsigned char>& state)
{
    if (!is_open() || state.size() > max_state_size
        || m_handle->set_state(state.empty() ? nullptr : state.data(), state.size()) != platform::ICERR_OK)
        throw exception("error setting state of video compressor");
}

void enumerate_coders(std::vector<coder_info>& out, unsigned width, unsigned height)
{
    platform::ICINFO ic;
    for (int index = 0; platform::ICInfo(platform::ICTYPE_VIDEO, index, ic); ++index) {
        auto compressor = platform::video_compressor::open(ic.fccHandler);
        if (!compressor)
            continue;
        coder_info info;
        fill_info(*compressor, info, width, height);
        if (info.accepts_32 || info.accepts_24)
            out.push_back(info);
    }
}

} // namespace img::avi
