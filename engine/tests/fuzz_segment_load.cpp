// Fuzz target: a segment's state loaded from project-file XML, then used as
// the program uses it: saved again, its records read and their grey masks
// decoded.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string>

#include "engine/segment.h"
#include "foundation/xml_stream.h"
#include "xmldoc/sarnel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Loading reports dropped records on std::clog; thousands of inputs
    // would drown the fuzzer's own output.
    static const bool quiet = (std::clog.rdbuf(nullptr), true);
    (void)quiet;

    xml::sarnel doc;
    try {
        doc.parse(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const std::exception&) {
        return 0;
    }
    trm::segment segment(0, nullptr);
    try {
        xml::stream loading(doc.root(), true);
        segment.serialize(loading);
    } catch (const std::exception&) {
        return 0;
    }
    const My::Span range = segment.range();
    for (std::int64_t frame = std::int64_t(range.first) - 1; frame <= range.last; ++frame) {
        const auto record = segment.frame_data(static_cast<int>(frame));
        if (!record)
            continue;
        try {
            img::image<unsigned char> grey;
            record->grey_mask.decode(grey);
        } catch (const std::exception&) {
        }
    }
    xml::sarnel copy;
    copy.create("Segment");
    xml::stream saving(copy.root(), false);
    segment.serialize(saving);
    return 0;
}
