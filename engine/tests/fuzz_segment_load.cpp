// Fuzz target: a segment's state loaded from project-file XML, once without
// footage and once with footage of a known frame size (as the program loads
// it), then used as the program uses it: saved again, its records read and
// their grey masks decoded.
// Inputs holding an encoded picture that claims more than a few megapixels
// are skipped.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <boost/make_shared.hpp>

#include "engine/encoded_image.h"
#include "engine/segment.h"
#include "engine/tests/memory_footage.h"
#include "foundation/files/tests/fuzzed_size.h"
#include "foundation/xml/xml_stream.h"
#include "xmldoc/sarnel.h"

namespace {

// Whether the document has an "encoded" picture claiming too many pixels.
// Walked without recursion: the nesting may be deep.
bool claims_too_much(xml::sarnel& doc)
{
    std::vector<xml::handle> pending { doc.root_handle() };
    while (!pending.empty()) {
        const xml::handle element = pending.back();
        pending.pop_back();
        std::string text;
        if (doc.get_attribute(element, "encoded", text)
            && test_support::claims_too_many_pixels(trm::from_hex(text)))
            return true;
        const std::unique_ptr<xml::child_iterator> children(doc.children(element));
        for (children->first(); !children->at_end(); children->next())
            pending.push_back(children->get());
    }
    return false;
}

void load_and_use(xml::sarnel& doc, const boost::shared_ptr<lumvex::footage>& footage)
{
    trm::segment segment(0, footage);
    try {
        xml::stream loading(doc.root(), true);
        segment.serialize(loading);
    } catch (const std::exception&) {
        return;
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
}

} // namespace

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
    if (claims_too_much(doc))
        return 0;
    // Without footage, and with footage whose frames have the size of the
    // corpus' key masks, as the program loads segments.
    std::vector<img::image<img::BGRA<unsigned char>>> frames(1);
    frames[0].resize(13, 7, 4);
    const auto footage = boost::make_shared<trm::testing::memory_footage>(std::move(frames));
    load_and_use(doc, nullptr);
    load_and_use(doc, footage);
    return 0;
}
