#pragma once

// The display tables of the enumerations edited in drop-downs: per
// enumeration a fixed array of rows {label, value}, in the order of the
// drop-down's entries (which need not follow the values). The labels are
// literal English texts. The tables exist for the whole run; nothing
// changes them.

#include "document/properties/TypedProperty.h"
#include "document/segments/MaskMode.h"
#include "engine/param.h"
#include "lumvex/footage/footage.h"
#include "widgets/properties/ResourceString.h"

#include <cstdint>
#include <span>

namespace My {

struct EnumRow {
    ResourceString label;
    std::int32_t value;
};

using EnumTable = std::span<const EnumRow>;

// The table of E; specialised for every enumeration with a drop-down.
template <class E> EnumTable DisplayTable();

} // namespace My

// The segment parameter "Downsample": the block size 1 to 4 of the engine's
// downsample field.
enum class Downsample : int { Off = 1, Two = 2, Three = 3, Four = 4 };
// The segment parameter "Decision Threshold": whether the refinement
// decides automatically.
enum class DecisionThreshold : int { Manual = 0, Auto = 1 };

namespace My {

template <> EnumTable DisplayTable<trm::mincut::information_source>();
template <> EnumTable DisplayTable<refine::information_source>();
template <> EnumTable DisplayTable<refine::preference>();
template <> EnumTable DisplayTable<trm::smooth_mask_method>();
template <> EnumTable DisplayTable<Downsample>();
template <> EnumTable DisplayTable<DecisionThreshold>();
template <> EnumTable DisplayTable<MaskMode::Mode>();
template <> EnumTable DisplayTable<lumvex::deinterlace_fields>();
template <> EnumTable DisplayTable<lumvex::deinterlace_method>();

// The row whose value is v, first match from row 0; -1 when none.
int FindEntry(EnumTable table, std::int32_t value);

// The drop-down's current entry: the row of the objects' common value, -1
// when there is none or no row has it.
template <class E> int CurrentEntry(const BasicProperty<E>& property, const EditableList& objects)
{
    E value {};
    if (!CommonValue(property, objects, value))
        return -1;
    return FindEntry(DisplayTable<E>(), static_cast<std::int32_t>(value));
}

// Writes row index's value to every object (one edit, WriteToAll) and
// returns the new current entry. An index outside the table writes nothing.
template <class E> int ChooseEntry(const BasicProperty<E>& property, const EditableList& objects, int index)
{
    const EnumTable table = DisplayTable<E>();
    if (index >= 0 && static_cast<std::size_t>(index) < table.size())
        WriteToAll(property, objects, static_cast<E>(table[static_cast<std::size_t>(index)].value));
    return CurrentEntry(property, objects);
}

} // namespace My
