#include "document/properties/SpanProperty.h"

#include "foundation/system/exception.h"

#include <cstdint>

namespace My {

namespace {

constexpr std::uint32_t kFirst = 55001;
constexpr std::uint32_t kLast = 55002;

} // namespace

Property<Span>::Property() = default;

void Property<Span>::WriteValue(EditableObject* object, const Span& value) const
{
    if (value.first >= value.last)
        throw xtd::exception("The first frame " + std::to_string(value.first)
            + " must come before the last frame " + std::to_string(value.last) + ".");
    StructProperty<Span>::WriteValue(object, value);
}

void Property<Span>::Build()
{
    // A field accessor never declares itself read-only, so it is also the
    // write access.
    const auto bind = [this](Property<int>& child, std::int32_t Span::*member) {
        boost::shared_ptr<PropertyValue<Span, std::int32_t>> access(
            new PropertyValue<Span, std::int32_t>(this, member));
        child.SetReadAccess(access);
        if (!access->IsReadOnly())
            child.SetWriteAccess(access);
    };
    bind(m_first, &Span::first);
    bind(m_last, &Span::last);
    Add(ResourceString(kFirst), &m_first);
    Add(ResourceString(kLast), &m_last);
}

} // namespace My
