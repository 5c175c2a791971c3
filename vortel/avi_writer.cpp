#include "vortel/avi_writer.h"

#include "lumvex/avi/avi_file.h"

namespace vortel {

namespace {

const img::avi::coder_info& open_info(const img::avi::coder& coder)
{
    if (!coder.is_open())
        throw img::avi::exception("error opening video compressor");
    return *coder.info();
}

img::avi::coder& own_copy(
    img::avi::coder& target, const img::avi::coder_info& info, const img::avi::coder& source)
{
    std::vector<unsigned char> state;
    source.get_state(state);
    target.open(info);
    target.set_state(state);
    return target;
}

} // namespace

avi_writer::avi_writer(const img::avi::coder& coder, const std::string& path, const avi_stream_params& params)
    : m_info(open_info(coder))
    , m_file(own_copy(m_coder, m_info, coder), path, params.width, params.height, params.rate_numerator,
          params.rate_denominator, params.alpha)
{
}

avi_writer::~avi_writer() = default;

void avi_writer::write(const img::image<img::BGRA<unsigned char>>& frame)
{
    m_file.write(frame);
}

void avi_writer::finish()
{
    m_file.finish();
}

void avi_writer::discard() noexcept
{
    m_file.discard();
}

} // namespace vortel
