#include "document/properties/FootagePage.h"

#include "lumvex/footage/footage.h"

#include <cstdint>

namespace My {

namespace {

using lumvex::footage;

enum : std::uint32_t {
    kDescription = 50100,
    kStill = 50101,
    kDuration = 50102,
    kDimensions = 50103,
    kAlpha = 50104,
    kFramerate = 50105,
    kDeinterlaced = 50106,
    kField = 50107,
    kMethod = 50108,
};

bool IsDeinterlaced(const footage& f)
{
    return f.fields() != lumvex::deinterlace_fields::off;
}

} // namespace

std::string ExtentAsString(const types::extent<unsigned>& size)
{
    return std::to_string(size.width) + " x " + std::to_string(size.height);
}

Property<boost::shared_ptr<footage>>::Property() = default;

Property<boost::shared_ptr<footage>>::~Property() = default;

void Property<boost::shared_ptr<footage>>::Build()
{
    using Owner = BasicProperty<boost::shared_ptr<footage>>;
    const Owner* owner = this;

    // A read-only child showing what function reads from the footage.
    const auto reader
        = [&]<class T>(std::uint32_t label, std::function<T(const footage&)> function) -> Property<T>& {
        auto* child = Own(new Property<T>);
        child->SetReadAccess(
            ReadAccessPtr<T>(new GetPropertySPtrValueFunction<footage, T>(owner, std::move(function))));
        Add(ResourceString(label), child);
        return *child;
    };

    reader.template operator()<std::string>(kDescription, [](const footage& f) { return f.description(); });
    reader.template operator()<bool>(kStill, [](const footage& f) { return f.frame_count() == 1; });
    reader.template operator()<int>(kDuration, [](const footage& f) { return f.frame_count(); });
    reader.template operator()<std::string>(
        kDimensions, [](const footage& f) { return ExtentAsString(f.frame_size()); });
    reader.template operator()<bool>(kAlpha, [](const footage& f) { return f.has_alpha(); });
    reader.template operator()<fraction>(kFramerate, [](const footage& f) { return f.frame_rate(); });
    reader.template operator()<bool>(kDeinterlaced, &IsDeinterlaced);

    // The drop-downs are shown only while the footage is deinterlaced; the
    // rows stay either way.
    const ConditionPtr deinterlaced(new GetPropertySPtrValueFunction<footage, bool>(owner, &IsDeinterlaced));
    auto& field = reader.template operator()<lumvex::deinterlace_fields>(
        kField, [](const footage& f) { return f.fields(); });
    field.SetWriteAccess(WriteAccessPtr<lumvex::deinterlace_fields>(
        new SetPropertySPtrValueFunction<footage, lumvex::deinterlace_fields>(
            owner, [](footage& f, lumvex::deinterlace_fields value) { f.set_fields(value); })));
    field.SetEnableCondition(deinterlaced);
    auto& method = reader.template operator()<lumvex::deinterlace_method>(
        kMethod, [](const footage& f) { return f.method(); });
    method.SetWriteAccess(WriteAccessPtr<lumvex::deinterlace_method>(
        new SetPropertySPtrValueFunction<footage, lumvex::deinterlace_method>(
            owner, [](footage& f, lumvex::deinterlace_method value) { f.set_method(value); })));
    method.SetEnableCondition(deinterlaced);
}

} // namespace My
