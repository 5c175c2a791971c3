// Feeds arbitrary bytes to the parser: every input either parses or ends in
// one of the library's exceptions (a parse error telling a line of the
// text); a parsed document is written and must read back to the same text.
// The same bytes as an attribute value are either refused when set or
// written so that they read back unchanged.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "xmldoc/exception.h"
#include "xmldoc/sarnel.h"

namespace {

void check_value(const std::string& value)
{
    xml::sarnel doc;
    doc.create("Doc");
    try {
        doc.set_attribute(doc.root_handle(), "v", value);
    } catch (const xml::invalid_value&) {
        return;
    }
    std::ostringstream text;
    doc.write(text);
    xml::sarnel again;
    again.parse(text.str());
    std::string read;
    if (!again.get_attribute(again.root_handle(), "v", read) || read != value)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    check_value(text);
    xml::sarnel doc;
    try {
        doc.parse(text);
    } catch (const xml::stream_parse_error& error) {
        // The line where matching stopped lies within the text.
        const auto breaks
            = std::count(text.begin(), text.end(), '\n') + std::count(text.begin(), text.end(), '\r');
        if (error.line() < 1 || error.line() > static_cast<std::size_t>(breaks) + 1)
            std::abort();
        return 0;
    } catch (const xml::exception&) {
        return 0;
    }
    std::ostringstream first;
    doc.write(first);
    xml::sarnel again;
    again.parse(first.str());
    std::ostringstream second;
    again.write(second);
    if (first.str() != second.str())
        std::abort();
    return 0;
}
