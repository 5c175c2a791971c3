#include "app/display/DisplayStyleProperty.h"

#if __has_include("widgets/text/TextControl.h")
#include "document/properties/TypedControl.h"
#define TAVELO_TYPED_CONTROLS 1
#endif

#include <cstdint>

namespace My {

namespace {

enum : std::uint32_t {
    kMask = 51043,
    kSmooth = 51044,
    kInverse = 51045,
    kMatte = 51046,
    kColor = 51047,
    kOpacity = 51048,
    kType = 51049,
};

const EnumRow g_types[] = {
    { "Mask Only (1)", 0 },
    { "Foreground Only (2)", 1 },
    { "Background Only (3)", 2 },
    { "Matted Foreground (4)", 3 },
    { "Composition (5)", 4 },
};

bool ShowsNoMask(const DisplayStyle& style)
{
    return style.type == DisplayType::ForegroundOnly || style.type == DisplayType::BackgroundOnly;
}

bool ShowsNoMatte(const DisplayStyle& style)
{
    return style.type != DisplayType::MattedForeground;
}

// The matte's opacity: its alpha as a fraction of 255.
class MatteOpacity : public ReadWriteAccess<Percent<0>>, public PropertyAccess<DisplayStyle> {
public:
    using PropertyAccess<DisplayStyle>::PropertyAccess;
    bool Read(EditableObject* object, Percent<0>& out) const override
    {
        DisplayStyle style;
        if (!m_owner->ReadValue(object, style))
            return false;
        out = Percent<0>(style.matte.a / 255.0f);
        return true;
    }
    void Write(EditableObject* object, const Percent<0>& value) const override
    {
        DisplayStyle style;
        if (!m_owner->ReadValue(object, style))
            return;
        style.matte.a = static_cast<unsigned char>(static_cast<float>(value) * 255.0f + 0.5f);
        m_owner->WriteValue(object, style);
    }
};

} // namespace

template <> EnumTable DisplayTable<DisplayType>()
{
    return g_types;
}

// The drop-down of the display type, when the toolkit has one (see the
// other typed controls).
template <>
Control* CreateTypedControl<DisplayType>(
    [[maybe_unused]] BasicProperty<DisplayType>* property, [[maybe_unused]] const EditableList& objects)
{
#ifdef TAVELO_TYPED_CONTROLS
    return MakeTypedControl<DisplayType>(property, objects);
#else
    return nullptr;
#endif
}

Property<DisplayStyle>::Property() = default;

Property<DisplayStyle>::~Property() = default;

void Property<DisplayStyle>::Build()
{
    const ConditionPtr noMask(new GetPropertyValueFunction<DisplayStyle, bool>(this, &ShowsNoMask));
    const ConditionPtr noMatte(new GetPropertyValueFunction<DisplayStyle, bool>(this, &ShowsNoMatte));

    auto* type = Own(new Property<DisplayType>);
    type->SetAccess(boost::shared_ptr<ReadWriteAccess<DisplayType>>(
        new PropertyValue<DisplayStyle, DisplayType>(this, &DisplayStyle::type)));

    auto* mask = Own(new PropertyGroup);
    auto* smooth = Own(new Property<bool>);
    smooth->SetAccess(boost::shared_ptr<ReadWriteAccess<bool>>(
        new PropertyValue<DisplayStyle, bool>(this, &DisplayStyle::smooth)));
    smooth->SetReadOnlyCondition(noMask);
    auto* inverse = Own(new Property<bool>);
    inverse->SetAccess(boost::shared_ptr<ReadWriteAccess<bool>>(
        new PropertyValue<DisplayStyle, bool>(this, &DisplayStyle::inverse)));
    inverse->SetReadOnlyCondition(noMask);
    mask->Add(ResourceString(kSmooth), smooth);
    mask->Add(ResourceString(kInverse), inverse);

    auto* matte = Own(new PropertyGroup);
    auto* color = Own(new Property<img::BGRA<unsigned char>>);
    color->SetAccess(boost::shared_ptr<ReadWriteAccess<img::BGRA<unsigned char>>>(
        new PropertyValue<DisplayStyle, img::BGRA<unsigned char>>(this, &DisplayStyle::matte)));
    color->SetReadOnlyCondition(noMatte);
    auto* opacity = Own(new Property<Percent<0>>);
    opacity->SetAccess(boost::shared_ptr<ReadWriteAccess<Percent<0>>>(new MatteOpacity(this)));
    opacity->SetReadOnlyCondition(noMatte);
    matte->Add(ResourceString(kColor), color);
    matte->Add(ResourceString(kOpacity), opacity);

    Add(ResourceString(kType), type);
    Add(ResourceString(kMask), mask);
    Add(ResourceString(kMatte), matte);
}

} // namespace My
