#include "xmldoc/sarnel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "xmldoc/exception.h"

namespace {

// Stands in for the access layer's node: what root() hands it.
struct probe_node {
    probe_node(xml::document* d, xml::handle h)
        : doc(d)
        , element(h)
    {
    }
    xml::document* doc;
    xml::handle element;
};

std::vector<std::string> attribute_names(xml::sarnel& doc, xml::handle h)
{
    std::unique_ptr<xml::attribute_iterator> it(doc.attributes(h));
    std::vector<std::string> names;
    for (it->first(); !it->at_end(); it->next())
        names.push_back(it->get());
    return names;
}

std::vector<xml::handle> collect(xml::child_iterator* raw)
{
    std::unique_ptr<xml::child_iterator> it(raw);
    std::vector<xml::handle> found;
    for (it->first(); !it->at_end(); it->next())
        found.push_back(it->get());
    return found;
}

} // namespace

TEST(Sarnel, ExceptionsCarryTheirTexts)
{
    EXPECT_STREQ(xml::stream_parse_error().what(), "stream parse error");
    EXPECT_STREQ(xml::invalid_name().what(), "tag or attribute name is invalid");
    EXPECT_STREQ(xml::attribute_not_found().what(), "attribute not found");
    EXPECT_STREQ(xml::attribute_parse_error().what(), "attribute parse error");
    EXPECT_STREQ(xml::ambiguous("tag = Segment").what(), "Node is ambiguous (tag = Segment)");
    // Thrown inside the library, caught by type outside it.
    xml::sarnel doc;
    EXPECT_THROW(doc.parse("<a>"), xml::exception);
    EXPECT_THROW(doc.create("1abc"), xml::exception);
}

TEST(Sarnel, CreateChecksTheRootNameAndLeavesTheDocumentEmptyOnFailure)
{
    xml::sarnel doc;
    EXPECT_EQ(doc.root_handle(), nullptr);
    doc.create("_a:b-1.x");
    ASSERT_NE(doc.root_handle(), nullptr);
    EXPECT_EQ(doc.name(doc.root_handle()), "_a:b-1.x");
    for (const char* bad : { "1abc", "", "a b", "-a", ".a", "a<",
             "\xB7"
             "a" }) {
        EXPECT_THROW(doc.create(bad), xml::invalid_name) << bad;
        EXPECT_EQ(doc.root_handle(), nullptr) << bad;
    }
    // Latin-1 letters and the middle dot are name characters; bytes that
    // stand for no letter are not.
    EXPECT_NO_THROW(doc.create("\xC0\xB7\xFF"));
    EXPECT_THROW(doc.create("a\xD7"), xml::invalid_name);
}

TEST(Sarnel, RootGivesTheRootHandleOrNull)
{
    xml::sarnel doc;
    const probe_node empty = doc.root<probe_node>();
    EXPECT_EQ(empty.doc, &doc);
    EXPECT_TRUE(doc.is_null(empty.element));
    doc.create("Doc");
    const probe_node root = doc.root<probe_node>();
    EXPECT_FALSE(doc.is_null(root.element));
    EXPECT_EQ(root.element, doc.root_handle());
    EXPECT_EQ(doc.copy_handle(root.element), root.element);
    doc.release_handle(root.element);
    EXPECT_EQ(doc.name(root.element), "Doc");
}

TEST(Sarnel, AttributesAreListedByNameWhateverTheOrderTheyWereSetIn)
{
    xml::sarnel doc;
    doc.create("Doc");
    const xml::handle root = doc.root_handle();
    doc.set_attribute(root, "zeta", "1");
    doc.set_attribute(root, "alpha", "2");
    doc.set_attribute(root, "mid", "3");
    doc.set_attribute(root, "Zulu", "4");
    EXPECT_EQ(attribute_names(doc, root), (std::vector<std::string> { "Zulu", "alpha", "mid", "zeta" }));

    std::string value = "untouched";
    EXPECT_FALSE(doc.get_attribute(root, "missing", value));
    EXPECT_EQ(value, "untouched");
    EXPECT_TRUE(doc.get_attribute(root, "mid", value));
    EXPECT_EQ(value, "3");

    doc.set_attribute(root, "mid", "replaced");
    EXPECT_TRUE(doc.get_attribute(root, "mid", value));
    EXPECT_EQ(value, "replaced");
    EXPECT_EQ(attribute_names(doc, root).size(), 4u);

    EXPECT_THROW(doc.set_attribute(root, "9lives", "x"), xml::invalid_name);
    EXPECT_FALSE(doc.get_attribute(root, "9lives", value));
}

TEST(Sarnel, IteratorsStartOverAtFirstAndStayAtTheEnd)
{
    xml::sarnel doc;
    doc.create("Doc");
    const xml::handle root = doc.root_handle();
    std::unique_ptr<xml::attribute_iterator> none(doc.attributes(root));
    none->first();
    EXPECT_TRUE(none->at_end());
    doc.set_attribute(root, "a", "1");
    std::unique_ptr<xml::child_iterator> children(doc.children(root));
    EXPECT_TRUE(children->at_end());
    EXPECT_EQ(children->get(), nullptr);

    std::unique_ptr<xml::attribute_iterator> it(doc.attributes(root));
    it->first();
    EXPECT_EQ(it->get(), "a");
    it->next();
    EXPECT_TRUE(it->at_end());
    it->next();
    EXPECT_TRUE(it->at_end());
    it->first();
    EXPECT_EQ(it->get(), "a");
}

TEST(Sarnel, NamedChildIterationYieldsOnlyChildrenOfThatName)
{
    xml::sarnel doc;
    doc.create("Doc");
    const xml::handle root = doc.root_handle();
    const xml::handle a1 = doc.add_child(root, "a");
    const xml::handle b = doc.add_child(root, "b");
    const xml::handle a2 = doc.add_child(root, "a");
    doc.add_child(a1, "a"); // a grandchild is not a child

    EXPECT_EQ(collect(doc.named_children(root, "a")), (std::vector<xml::handle> { a1, a2 }));
    EXPECT_EQ(collect(doc.named_children(root, "b")), (std::vector<xml::handle> { b }));
    EXPECT_TRUE(collect(doc.named_children(root, "c")).empty());
    EXPECT_TRUE(collect(doc.named_children(root, "A")).empty());
    EXPECT_EQ(collect(doc.children(root)), (std::vector<xml::handle> { a1, b, a2 }));

    // The iterator keeps its own copy of the tag.
    std::string tag = "a";
    std::unique_ptr<xml::child_iterator> it(doc.named_children(root, tag));
    tag = "b";
    it->first();
    it->next();
    EXPECT_EQ(it->get(), a2);
}

TEST(Sarnel, AddChildChecksTheNameAndAddsNothingOnFailure)
{
    xml::sarnel doc;
    doc.create("Doc");
    EXPECT_THROW(doc.add_child(doc.root_handle(), "no good"), xml::invalid_name);
    EXPECT_TRUE(collect(doc.children(doc.root_handle())).empty());
}

TEST(Sarnel, ClearElementRemovesWhatItsFlagsSay)
{
    xml::sarnel doc;
    doc.create("Doc");
    const xml::handle root = doc.root_handle();
    auto fill = [&] {
        doc.set_attribute(root, "a", "1");
        doc.add_child(doc.add_child(root, "c"), "g");
    };
    fill();
    doc.clear_element(root, false, true);
    EXPECT_EQ(attribute_names(doc, root), std::vector<std::string> { "a" });
    EXPECT_TRUE(collect(doc.children(root)).empty());

    fill();
    doc.clear_element(root, true, false);
    EXPECT_TRUE(attribute_names(doc, root).empty());
    EXPECT_EQ(collect(doc.children(root)).size(), 1u);

    fill();
    doc.clear_element(root, true, true);
    EXPECT_EQ(doc.name(root), "Doc");
    EXPECT_TRUE(attribute_names(doc, root).empty());
    EXPECT_TRUE(collect(doc.children(root)).empty());
}

TEST(Sarnel, RemoveKeepsTheOrderOfTheRemainingChildren)
{
    xml::sarnel doc;
    doc.create("Doc");
    const xml::handle root = doc.root_handle();
    const xml::handle first = doc.add_child(root, "a");
    const xml::handle second = doc.add_child(root, "b");
    const xml::handle third = doc.add_child(root, "c");
    doc.add_child(doc.add_child(second, "deep"), "deeper");
    doc.remove(second);
    EXPECT_EQ(collect(doc.children(root)), (std::vector<xml::handle> { first, third }));
}

TEST(Sarnel, RemovingTheRootEmptiesTheDocument)
{
    xml::sarnel doc;
    doc.create("Doc");
    doc.add_child(doc.root_handle(), "a");
    doc.remove(doc.root_handle());
    EXPECT_EQ(doc.root_handle(), nullptr);
}

TEST(Sarnel, ATreeOneHundredThousandLevelsDeepIsDeletedWithoutRecursion)
{
    // Builds the chain and returns the root's only child.
    auto build = [](xml::sarnel& doc) {
        doc.create("d");
        const xml::handle top = doc.add_child(doc.root_handle(), "d");
        xml::handle h = top;
        for (int i = 0; i < 100000; ++i)
            h = doc.add_child(h, "d");
        return top;
    };
    {
        xml::sarnel doc;
        build(doc);
    }
    xml::sarnel doc;
    build(doc);
    doc.clear_element(doc.root_handle(), false, true);
    EXPECT_TRUE(collect(doc.children(doc.root_handle())).empty());
    doc.remove(build(doc));
    EXPECT_TRUE(collect(doc.children(doc.root_handle())).empty());
    build(doc);
    doc.clear();
    EXPECT_EQ(doc.root_handle(), nullptr);
}

TEST(Sarnel, ReadingAMissingFileThrowsTheStreamFailureNamingTheFileAndTheCause)
{
    xml::sarnel doc;
    try {
        doc.read("/nonexistent/folder/project.tvp");
        ADD_FAILURE() << "read";
    } catch (const std::ios_base::failure& error) {
        EXPECT_STREQ(error.what(), "cannot read /nonexistent/folder/project.tvp: No such file or directory");
    }
}

TEST(Sarnel, ReadingAFolderThrowsTheStreamFailure)
{
    // A folder opens for reading and claims an absurd size when sought to its
    // end; the read must fail as a stream failure, not try to allocate it.
    const auto folder
        = std::filesystem::temp_directory_path() / ("sarnel_read_folder_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    xml::sarnel doc;
    try {
        doc.read(folder.string());
        ADD_FAILURE() << "read";
    } catch (const std::ios_base::failure& error) {
        EXPECT_EQ(std::string(error.what()), "cannot read " + folder.string() + ": Is a directory");
    }
    EXPECT_EQ(doc.root_handle(), nullptr);
    std::filesystem::remove(folder);
}

TEST(Sarnel, ReadParsesTheWholeFile)
{
    const auto path = std::filesystem::temp_directory_path()
        / ("sarnel_read_test_" + std::to_string(::getpid()) + ".xml");
    {
        std::ofstream out(path, std::ios::binary);
        out << "<?xml version=\"1.0\" ?>\r\n<Doc a=\"1\">\r\n  <Item/>\r\n</Doc>\r\n";
    }
    xml::sarnel doc;
    doc.read(path.string());
    std::string value;
    EXPECT_TRUE(doc.get_attribute(doc.root_handle(), "a", value));
    EXPECT_EQ(collect(doc.children(doc.root_handle())).size(), 1u);

    // Cut short, it fails at the line where it stops.
    std::filesystem::resize_file(path, 40);
    try {
        doc.read(path.string());
        ADD_FAILURE() << "read";
    } catch (const xml::stream_parse_error& error) {
        EXPECT_EQ(error.line(), 3u);
    }
    std::filesystem::resize_file(path, 0);
    EXPECT_THROW(doc.read(path.string()), xml::stream_parse_error);
    std::filesystem::remove(path);
}

TEST(Sarnel, ReplacedAndPackedValuesReadBackAndWriteOut)
{
    xml::sarnel doc;
    doc.create("r");
    const xml::handle r = doc.root_handle();
    const std::string hex = std::string(80, 'd') + "0f";
    doc.set_attribute(r, "b", hex);
    doc.set_attribute(r, "a", "short");
    doc.set_attribute(r, "b", "now text");
    doc.set_attribute(r, "a", hex);
    std::string value;
    ASSERT_TRUE(doc.get_attribute(r, "a", value));
    EXPECT_EQ(value, hex);
    ASSERT_TRUE(doc.get_attribute(r, "b", value));
    EXPECT_EQ(value, "now text");
    std::ostringstream out;
    doc.write(out);
    EXPECT_EQ(out.str(), "<?xml version=\"1.0\" ?>\n<r a=\"" + hex + "\" b=\"now text\"/>\n");
}

TEST(Sarnel, ManyChildrenAndAttributesKeepTheirOrderAsArraysGrow)
{
    xml::sarnel doc;
    doc.create("r");
    const xml::handle r = doc.root_handle();
    std::vector<xml::handle> added;
    for (int i = 0; i < 1000; ++i) {
        added.push_back(doc.add_child(r, "c"));
        doc.set_attribute(r, "n" + std::to_string(999 - i), std::to_string(i));
    }
    EXPECT_EQ(collect(doc.children(r)), added);
    const auto names = attribute_names(doc, r);
    ASSERT_EQ(names.size(), 1000u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    std::string value;
    ASSERT_TRUE(doc.get_attribute(r, "n0", value));
    EXPECT_EQ(value, "999");
}
