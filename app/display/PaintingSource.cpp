#include "app/display/PaintingSource.h"

#include "app/display/PaintingKey.h"
#include "document/composition/Background.h"
#include "document/composition/TLComp.h"
#include "document/segments/SegmentData.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"

#include <boost/make_shared.hpp>

EffectiveStyle GetEffectiveStyle(const PaintingSource& source, int frame)
{
    EffectiveStyle effective;
    effective.style = source.style;
    DisplayType& type = effective.style.type;
    if (source.editingMask) {
        type = DisplayType::ForegroundOnly;
        return effective;
    }
    const TLComp& composition = *source.composition;
    effective.backgroundFrame = composition.GetBackground().GetFootageFrame(frame);
    if (effective.backgroundFrame == -1) {
        if (type == DisplayType::BackgroundOnly)
            type = DisplayType::ForegroundOnly;
        else if (type == DisplayType::Composition)
            type = DisplayType::MattedForeground;
    }
    const TLSegmentSet& segments = composition.GetSegmentSet();
    TLSegment* segment = source.following ? source.progressSegment : nullptr;
    if (segment == nullptr)
        segment = segments.GetSelected();
    if (segment == nullptr) {
        segment = segments.FindSegmentAt(frame);
        effective.byPosition = true;
    }
    bool hasMask = false;
    if (segment != nullptr) {
        const SegmentData& engine = *segment->GetEngine();
        hasMask = engine.has_mask(frame);
        if (effective.style.smooth && !engine.has_encoded_mask(frame))
            effective.style.smooth = false;
    }
    if (!hasMask) {
        if (type == DisplayType::MattedForeground || type == DisplayType::Composition)
            type = DisplayType::ForegroundOnly;
        segment = nullptr;
    }
    effective.segment = effective.byPosition ? nullptr : segment;
    return effective;
}

boost::shared_ptr<PaintingKey> MakePaintingKey(const PaintingSource& source, int frame)
{
    const TLComp& composition = *source.composition;
    if (!composition.GetFootage())
        return {};
    const EffectiveStyle effective = GetEffectiveStyle(source, frame);
    const DisplayType type = effective.style.type;
    std::vector<MaskLayer> layers;
    if (type != DisplayType::ForegroundOnly && type != DisplayType::BackgroundOnly) {
        if (effective.byPosition) {
            composition.GetSegmentSet().CollectMaskLayers(frame, effective.style.smooth, layers);
        } else if (effective.segment != nullptr) {
            MaskLayer layer = effective.segment->GetMaskLayer(frame);
            if (layer.mode.mode == MaskMode::None)
                layer.mode.mode = MaskMode::Add;
            layers.push_back(std::move(layer));
        }
    }
    boost::shared_ptr<lumvex::footage> background;
    int backgroundFrame = -1;
    if (type == DisplayType::BackgroundOnly || type == DisplayType::Composition) {
        background = composition.GetBackground().GetFootage();
        backgroundFrame = effective.backgroundFrame;
    }
    return boost::make_shared<PaintingKey>(effective.style, std::move(layers), composition.GetFootage(),
        frame, std::move(background), backgroundFrame);
}
