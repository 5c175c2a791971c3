// Feeds arbitrary bytes to the parser: every input either parses or ends in
// one of the library's exceptions; a parsed document is written and must
// read back to the same text.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "xmldoc/exception.h"
#include "xmldoc/sarnel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    xml::sarnel doc;
    try {
        doc.parse(text);
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
