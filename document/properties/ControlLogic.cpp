#include "document/properties/ControlLogic.h"

namespace My {

int GetCheckState(const BasicProperty<bool>& property, const EditableList& objects)
{
    bool value = false;
    if (!CommonValue(property, objects, value))
        return 2;
    return value ? 1 : 0;
}

void ClickCheck(const BasicProperty<bool>& property, const EditableList& objects)
{
    bool value = false;
    if (objects.GetCount() == 0 || !property.ReadValue(objects.Get(0), value))
        value = false;
    WriteToAll(property, objects, !value);
}

bool GetColorRef(
    const BasicProperty<img::BGRA<unsigned char>>& property, const EditableList& objects, std::uint32_t& out)
{
    img::BGRA<unsigned char> value {};
    if (!CommonValue(property, objects, value))
        return false;
    out = std::uint32_t(value.r) | std::uint32_t(value.g) << 8 | std::uint32_t(value.b) << 16;
    return true;
}

void SetColorRef(
    const BasicProperty<img::BGRA<unsigned char>>& property, const EditableList& objects, std::uint32_t color)
{
    img::BGRA<unsigned char> value { 0, 0, 0, 0 };
    if (objects.GetCount() == 0 || !property.ReadValue(objects.Get(0), value))
        value = { 0, 0, 0, 0 };
    value.r = static_cast<unsigned char>(color & 0xff);
    value.g = static_cast<unsigned char>((color >> 8) & 0xff);
    value.b = static_cast<unsigned char>((color >> 16) & 0xff);
    WriteToAll(property, objects, value);
}

} // namespace My
