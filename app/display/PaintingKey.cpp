#include "app/display/PaintingKey.h"

#include "app/display/FramePainting.h"
#include "app/display/PaintingMask.h"
#include "foundation/system/exception.h"
#include "lumvex/footage/footage.h"

#include <stdexcept>
#include <string>

namespace {

bool ShowsFootageFrame(DisplayType type)
{
    return type == DisplayType::ForegroundOnly || type == DisplayType::MattedForeground
        || type == DisplayType::Composition;
}

bool ShowsBackgroundFrame(DisplayType type)
{
    return type == DisplayType::BackgroundOnly || type == DisplayType::Composition;
}

bool ShowsMask(DisplayType type)
{
    return type == DisplayType::MaskOnly || type == DisplayType::MattedForeground
        || type == DisplayType::Composition;
}

bool SameLayers(const std::vector<MaskLayer>& a, const std::vector<MaskLayer>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].record != b[i].record || a[i].mode.mode != b[i].mode.mode
            || a[i].mode.inverted != b[i].mode.inverted)
            return false;
    return true;
}

// The footage frame's own key tells what its pixels are made of (a
// deinterlaced frame names its field order): a key made before the footage
// changed so names another picture.
bool SameFrameId(const boost::shared_ptr<lumvex::item_id>& a, const boost::shared_ptr<lumvex::item_id>& b)
{
    if (!a || !b)
        return !a && !b;
    return a->equals(*b);
}

// The frame of a footage, waiting for it: never empty.
boost::shared_ptr<lumvex::cached_image> WaitFor(lumvex::footage& footage, int frame, int request)
{
    auto image = footage.frame(frame, request, true);
    if (!image)
        throw xtd::exception(
            "Frame " + std::to_string(frame) + " of " + footage.description() + " could not be read.");
    return image;
}

} // namespace

PaintingKey::PaintingKey() = default;

PaintingKey::PaintingKey(const DisplayStyle& style, std::vector<MaskLayer> layers,
    boost::shared_ptr<lumvex::footage> footage, int frame, boost::shared_ptr<lumvex::footage> background,
    int background_frame)
    : m_style(style)
    , m_layers(std::move(layers))
    , m_footage(std::move(footage))
    , m_frame(frame)
    , m_background(std::move(background))
    , m_backgroundFrame(background_frame)
{
    if (m_footage)
        m_frameSize = m_footage->frame_size();
    if (ShowsFootageFrame(m_style.type) && m_footage)
        m_footageId = m_footage->frame_id(m_frame);
    if (ShowsBackgroundFrame(m_style.type) && m_background)
        m_backgroundId = m_background->frame_id(m_backgroundFrame);
    if (m_style.type == DisplayType::ForegroundOnly)
        m_shownId = m_footageId;
    else if (m_style.type == DisplayType::BackgroundOnly)
        m_shownId = m_backgroundId;
}

PaintingKey::~PaintingKey() = default;

bool PaintingKey::equals(const lumvex::item_id& other) const
{
    if (m_shownId && m_shownId->equals(other))
        return true;
    const auto* key = dynamic_cast<const PaintingKey*>(&other);
    if (key == nullptr)
        return false;
    if (!(m_style == key->m_style) || m_frameSize != key->m_frameSize)
        return false;
    const DisplayType type = m_style.type;
    if (ShowsFootageFrame(type)
        && (m_footage != key->m_footage || m_frame != key->m_frame
            || !SameFrameId(m_footageId, key->m_footageId)))
        return false;
    if (ShowsBackgroundFrame(type)
        && (m_background != key->m_background || m_backgroundFrame != key->m_backgroundFrame
            || !SameFrameId(m_backgroundId, key->m_backgroundId)))
        return false;
    return !ShowsMask(type) || SameLayers(m_layers, key->m_layers);
}

std::string PaintingKey::key() const
{
    return {};
}

void PaintingKey::describe(std::ostream&) const { }

void PaintingKey::produce(img::image<img::BGRA<unsigned char>>& target) const
{
    Paint(target, 0);
}

boost::shared_ptr<lumvex::cached_image> PaintingKey::Fetch(
    lumvex::cache& cache, const boost::shared_ptr<PaintingKey>& key, int request, bool store)
{
    if (!key)
        throw std::invalid_argument("PaintingKey::Fetch: no key");
    if (auto hit = cache.find(key, lumvex::placement::back))
        return hit;
    const DisplayType type = key->m_style.type;
    if (type == DisplayType::ForegroundOnly || type == DisplayType::BackgroundOnly) {
        const auto& footage = type == DisplayType::ForegroundOnly ? key->m_footage : key->m_background;
        if (!footage)
            throw std::logic_error("PaintingKey::Fetch: the key has no footage to show");
        return WaitFor(
            *footage, type == DisplayType::ForegroundOnly ? key->m_frame : key->m_backgroundFrame, request);
    }
    auto entry = boost::shared_ptr<lumvex::cached_image>(new lumvex::cached_image(key));
    key->Paint(entry->image, request);
    if (store)
        cache.put(entry, lumvex::placement::back);
    return entry;
}

boost::shared_ptr<lumvex::cached_image> PaintingKey::Unreadable(const boost::shared_ptr<PaintingKey>& key)
{
    auto entry = boost::shared_ptr<lumvex::cached_image>(new lumvex::cached_image(key));
    const types::extent<unsigned> size = key ? key->m_frameSize : types::extent<unsigned> {};
    entry->image.resize(size.width, size.height, 4);
    entry->image.fill(img::BGRA<unsigned char> { 0, 0, 0, 255 });
    return entry;
}

void PaintingKey::Paint(img::image<img::BGRA<unsigned char>>& out, int request) const
{
    const DisplayType type = m_style.type;
    if (!m_footage || (ShowsBackgroundFrame(type) && !m_background))
        throw std::logic_error("PaintingKey::Paint: the key has no footage to show");
    if (type == DisplayType::BackgroundOnly) {
        out = WaitFor(*m_background, m_backgroundFrame, request)->image;
        return;
    }
    // The footage frame is asked for first without waiting, so that a
    // reader thread decodes it while the masks are combined.
    boost::shared_ptr<lumvex::cached_image> front;
    if (type != DisplayType::MaskOnly)
        front = m_footage->frame(m_frame, request, false);
    PaintingMask mask;
    if (ShowsMask(type))
        mask = PaintingMask::Combine(m_layers, m_style.smooth, m_frameSize);
    if (type == DisplayType::MaskOnly) {
        FramePainting::PaintMask(out, m_frameSize, mask, m_style.inverse);
        return;
    }
    boost::shared_ptr<lumvex::cached_image> back;
    if (type == DisplayType::Composition)
        back = WaitFor(*m_background, m_backgroundFrame, request);
    if (!front)
        front = WaitFor(*m_footage, m_frame, request);
    switch (type) {
    case DisplayType::Composition:
        FramePainting::PaintComposition(out, front->image, back->image, mask, m_style.inverse);
        break;
    case DisplayType::MattedForeground:
        FramePainting::PaintMatted(out, front->image, mask, m_style.inverse, m_style.matte);
        break;
    default:
        out = front->image;
        break;
    }
}
