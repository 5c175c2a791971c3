#pragma once

// What the typed controls do with their property, apart from any window:
// the text of a text control and the parsing of a typed text, the state and
// click of a check box, and the colour of a colour box. Every write goes to
// all objects of the list as one edit (WriteToAll).

#include "document/properties/TypedProperty.h"
#include "document/properties/ValueText.h"
#include "foundation/image/image.h"

#include <cstdint>
#include <string>

namespace My {

// The common value as text; false when the objects have none.
template <class T>
bool GetValueText(const BasicProperty<T>& property, const EditableList& objects, std::string& out)
{
    T value {};
    if (!CommonValue(property, objects, value))
        return false;
    out = FormatValue(value);
    return true;
}

// Parses text and, when it gives a value, writes it; false when nothing was
// written (the control then shows the stored value again).
template <class T>
bool SetValueText(const BasicProperty<T>& property, const EditableList& objects, const std::string& text)
{
    T value {};
    if (!ParseValue(text, value))
        return false;
    WriteToAll(property, objects, value);
    return true;
}

// 0 off, 1 on, 2 mixed (no common value).
int GetCheckState(const BasicProperty<bool>& property, const EditableList& objects);
// Writes the negation of the first object's value (on when it cannot be
// read).
void ClickCheck(const BasicProperty<bool>& property, const EditableList& objects);

// The common colour as a colour reference (red in the low byte, green,
// blue); false when there is none.
bool GetColorRef(
    const BasicProperty<img::BGRA<unsigned char>>& property, const EditableList& objects, std::uint32_t& out);
// Takes the first object's value (all zero when it cannot be read), puts
// the colour reference's blue, green and red in it, keeps its alpha, and
// writes it.
void SetColorRef(const BasicProperty<img::BGRA<unsigned char>>& property, const EditableList& objects,
    std::uint32_t color);

} // namespace My
