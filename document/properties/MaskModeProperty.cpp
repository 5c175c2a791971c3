#include "document/properties/MaskModeProperty.h"

#include <cstdint>

namespace My {

namespace {

constexpr std::uint32_t kMode = 51136;
constexpr std::uint32_t kModeHelp = 51137;
constexpr std::uint32_t kInverted = 51138;
constexpr std::uint32_t kInvertedHelp = 51139;

} // namespace

Property<MaskMode>::Property() = default;

Property<MaskMode>::~Property() = default;

void Property<MaskMode>::Build()
{
    m_mode.SetAccess(boost::shared_ptr<ReadWriteAccess<MaskMode::Mode>>(
        new PropertyValueAs<MaskMode, int, MaskMode::Mode>(this, &MaskMode::mode)));
    m_mode.SetDescription(ResourceString(kModeHelp));
    m_inverted.SetAccess(boost::shared_ptr<ReadWriteAccess<bool>>(
        new PropertyValue<MaskMode, bool>(this, &MaskMode::inverted)));
    m_inverted.SetDescription(ResourceString(kInvertedHelp));
    Add(ResourceString(kMode), &m_mode);
    Add(ResourceString(kInverted), &m_inverted);
}

} // namespace My
