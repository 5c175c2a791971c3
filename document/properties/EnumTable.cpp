#include "document/properties/EnumTable.h"

#include <iterator>

namespace My {

namespace {

const EnumRow g_mincutSource[] = {
    { "Target Frame", 0 },
    { "Both Frames", 1 },
};

const EnumRow g_refineSource[] = {
    { "Reference Frame", 0 },
    { "Target Frame", 1 },
    { "Both Frames", 2 },
};

const EnumRow g_preference[] = {
    { "None", 0 },
    { "Masked Pixels", 1 },
    { "Unmasked Pixels", 2 },
};

// Not in value order: "Diffuse" (1) comes last.
const EnumRow g_smoothMask[] = {
    { "Off", 0 },
    { "Simple", 2 },
    { "Complex", 3 },
    { "Diffuse", 1 },
};

// The block size; there is no row for 0.
const EnumRow g_downsample[] = {
    { "Off", 1 },
    { "2x2 -> 1", 2 },
    { "3x3 -> 1", 3 },
    { "4x4 -> 1", 4 },
};

const EnumRow g_decision[] = {
    { "Manual", 0 },
    { "Auto", 1 },
};

const EnumRow g_maskMode[] = {
    { "None", 0 },
    { "Add", 1 },
    { "Subtract", 2 },
    { "Intersect", 3 },
    { "Lighten", 4 },
    { "Darken", 5 },
    { "Difference", 6 },
    { "Substitute", 7 },
};

// No row for 0: a footage that is not deinterlaced shows no entry.
const EnumRow g_fields[] = {
    { "Upper First", 1 },
    { "Lower First", 2 },
};

const EnumRow g_method[] = {
    { "Duplicate", 0 },
    { "Interpolate", 1 },
};

} // namespace

template <> EnumTable DisplayTable<trm::mincut::information_source>()
{
    return g_mincutSource;
}

template <> EnumTable DisplayTable<refine::information_source>()
{
    return g_refineSource;
}

template <> EnumTable DisplayTable<refine::preference>()
{
    return g_preference;
}

template <> EnumTable DisplayTable<trm::smooth_mask_method>()
{
    return g_smoothMask;
}

template <> EnumTable DisplayTable<Downsample>()
{
    return g_downsample;
}

template <> EnumTable DisplayTable<DecisionThreshold>()
{
    return g_decision;
}

template <> EnumTable DisplayTable<MaskMode::Mode>()
{
    return g_maskMode;
}

template <> EnumTable DisplayTable<lumvex::deinterlace_fields>()
{
    return g_fields;
}

template <> EnumTable DisplayTable<lumvex::deinterlace_method>()
{
    return g_method;
}

int FindEntry(EnumTable table, std::int32_t value)
{
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].value == value)
            return static_cast<int>(i);
    return -1;
}

} // namespace My
