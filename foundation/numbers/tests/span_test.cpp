#include "foundation/numbers/span.h"

#include <gtest/gtest.h>

#include <sstream>

#include "foundation/xml/xml_stream.h"
#include "xmldoc/sarnel.h"

namespace {

TEST(Span, XmlFormHoldsFirstAndLastAndLoadsMissingOnesAsZero)
{
    xml::sarnel doc;
    doc.create("root");
    xml::stream saving(doc.root(), false);
    My::Span span { -3, 2147483647 };
    saving || span;

    std::ostringstream text;
    doc.write(text);
    EXPECT_NE(text.str().find("First=\"-3\""), std::string::npos);
    EXPECT_NE(text.str().find("Last=\"2147483647\""), std::string::npos);

    My::Span loaded { 9, 9 };
    xml::stream loading(doc.root(), true);
    loading || loaded;
    EXPECT_EQ(loaded, span);

    xml::sarnel bare;
    bare.create("root");
    xml::stream bare_loading(bare.root(), true);
    bare_loading || loaded;
    EXPECT_EQ(loaded, (My::Span { 0, 0 }));
}

} // namespace
