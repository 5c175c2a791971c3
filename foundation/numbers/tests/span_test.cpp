#include "foundation/numbers/span.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>

#include "foundation/xml/xml_stream.h"
#include "xmldoc/sarnel.h"

namespace {

TEST(Span, XmlFormHoldsFirstAndLastAndRefusesAMissingOrUnreadableOne)
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

    // A span the file does not give whole is refused and the old one kept.
    const std::pair<const char*, bool> refused[]
        = { { "<WorkArea/>", false }, { "<WorkArea First='5'/>", false }, { "<WorkArea Last='5'/>", false },
              { "<WorkArea First='abc' Last='5'/>", true }, { "<WorkArea First='1' Last=''/>", true } };
    for (const auto& [broken, unreadable] : refused) {
        xml::sarnel bare;
        bare.parse(broken);
        xml::stream bare_loading(bare.root(), true);
        My::Span kept { 9, 9 };
        try {
            bare_loading || kept;
            ADD_FAILURE() << broken << " loaded as " << kept.first << ", " << kept.last;
        } catch (const xml::attribute_error& error) {
            EXPECT_EQ(dynamic_cast<const xml::attribute_parse_error*>(&error) != nullptr, unreadable)
                << broken;
            EXPECT_EQ(error.element(), "WorkArea") << broken;
        }
        EXPECT_EQ(kept, (My::Span { 9, 9 })) << broken;
    }
    xml::stream null_loading(xml::node(), true);
    EXPECT_THROW(null_loading || loaded, xml::attribute_not_found);
}

} // namespace
