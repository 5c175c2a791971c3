#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <streambuf>
#include <string>
#include <unistd.h>

#include "xmldoc/exception.h"
#include "xmldoc/sarnel.h"

namespace {

std::string written(const xml::sarnel& doc)
{
    std::ostringstream out;
    doc.write(out);
    return out.str();
}

std::string file_text(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Counts what it is given and keeps only the start.
class counting_buffer : public std::streambuf {
public:
    std::uint64_t count = 0;
    std::string head;

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        if (head.size() < 4096)
            head.append(s, static_cast<std::size_t>(std::min<std::streamsize>(n, 4096)));
        count += static_cast<std::uint64_t>(n);
        return n;
    }
    int_type overflow(int_type c) override
    {
        ++count;
        return c;
    }
};

// A folder of its own for each test, removed afterwards.
class WriterFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = std::filesystem::temp_directory_path()
            / ("sarnel_writer_" + std::to_string(::getpid()) + "_"
                + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    std::size_t files_in_folder() const
    {
        return static_cast<std::size_t>(std::distance(
            std::filesystem::directory_iterator(m_folder), std::filesystem::directory_iterator()));
    }

    std::filesystem::path m_folder;
};

} // namespace

TEST(Writer, ARootAloneIsTwoLines)
{
    xml::sarnel doc;
    doc.create("Doc");
    EXPECT_EQ(written(doc), "<?xml version=\"1.0\" ?>\n<Doc/>\n");
}

TEST(Writer, AnEmptyDocumentIsTheDeclarationAlone)
{
    xml::sarnel doc;
    EXPECT_EQ(written(doc), "<?xml version=\"1.0\" ?>\n");
}

TEST(Writer, ChildrenAreIndentedAndAttributesSortedByName)
{
    xml::sarnel doc;
    doc.create("Doc");
    const xml::handle item = doc.add_child(doc.root_handle(), "Item");
    doc.set_attribute(item, "b", "2");
    doc.set_attribute(item, "a", "1");
    EXPECT_EQ(written(doc), "<?xml version=\"1.0\" ?>\n<Doc>\n  <Item a=\"1\" b=\"2\"/>\n</Doc>\n");

    doc.add_child(doc.add_child(item, "Sub"), "Leaf");
    doc.add_child(doc.root_handle(), "Last");
    EXPECT_EQ(written(doc),
        "<?xml version=\"1.0\" ?>\n"
        "<Doc>\n"
        "  <Item a=\"1\" b=\"2\">\n"
        "    <Sub>\n"
        "      <Leaf/>\n"
        "    </Sub>\n"
        "  </Item>\n"
        "  <Last/>\n"
        "</Doc>\n");
}

TEST(Writer, ValuesAreEscapedAndReadBackUnchanged)
{
    xml::sarnel doc;
    doc.create("Doc");
    const xml::handle root = doc.root_handle();
    doc.set_attribute(root, "v", "\"&<>'");
    doc.set_attribute(root, "w", "line\nfeed\ttab\rcr &gt;");
    EXPECT_EQ(written(doc),
        "<?xml version=\"1.0\" ?>\n<Doc v=\"&quot;&amp;&lt;>'\" w=\"line\nfeed\ttab\rcr &amp;gt;\"/>\n");

    xml::sarnel again;
    again.parse(written(doc));
    EXPECT_EQ(written(again), written(doc));
    std::string value;
    ASSERT_TRUE(again.get_attribute(again.root_handle(), "v", value));
    EXPECT_EQ(value, "\"&<>'");
    ASSERT_TRUE(again.get_attribute(again.root_handle(), "w", value));
    EXPECT_EQ(value, "line\nfeed\ttab\rcr &gt;");
}

TEST(Writer, ControlBytesAreWrittenAsReferencesAndReadBack)
{
    std::string every;
    for (int c = 1; c < 256; ++c)
        every.push_back(static_cast<char>(c));
    xml::sarnel doc;
    doc.create("Doc");
    doc.set_attribute(doc.root_handle(), "all", every);
    doc.set_attribute(doc.root_handle(), "few", std::string("\x01\x08\x0B\x0C\x0E\x1F\x7F"));
    const std::string text = written(doc);
    EXPECT_NE(text.find("few=\"&#1;&#8;&#11;&#12;&#14;&#31;\x7F\""), std::string::npos);

    xml::sarnel again;
    again.parse(text);
    std::string value;
    ASSERT_TRUE(again.get_attribute(again.root_handle(), "all", value));
    EXPECT_EQ(value, every);
}

TEST(Writer, AValueWithAByteXmlCannotCarryIsRefusedWhenSetAndTheOldValueStays)
{
    xml::sarnel doc;
    doc.create("Doc");
    const xml::handle root = doc.root_handle();
    doc.set_attribute(root, "kept", "old");
    for (const char* name : { "kept", "fresh" }) {
        try {
            doc.set_attribute(root, name, std::string("a\0b", 3));
            ADD_FAILURE() << name << ": no exception";
        } catch (const xml::exception& error) {
            EXPECT_STREQ(error.what(), "attribute value holds a character that XML cannot carry") << name;
        }
    }
    EXPECT_EQ(written(doc), "<?xml version=\"1.0\" ?>\n<Doc kept=\"old\"/>\n");
}

TEST(Writer, EveryByteValueThatCanBeSetIsWrittenAndParsedBackUnchanged)
{
    for (int c = 0; c < 256; ++c) {
        const std::string value = std::string("<") + static_cast<char>(c) + "&" + static_cast<char>(c);
        xml::sarnel doc;
        doc.create("Doc");
        try {
            doc.set_attribute(doc.root_handle(), "v", value);
        } catch (const xml::exception&) {
            continue;
        }
        const std::string text = written(doc);
        xml::sarnel again;
        try {
            again.parse(text);
        } catch (const xml::exception& error) {
            ADD_FAILURE() << "byte " << c << ": the written file does not parse: " << error.what();
            continue;
        }
        std::string read;
        ASSERT_TRUE(again.get_attribute(again.root_handle(), "v", read)) << c;
        EXPECT_EQ(read, value) << "byte " << c;
    }
}

TEST(Writer, ATreeOneHundredThousandLevelsDeepIsWrittenWithoutRecursion)
{
    constexpr std::uint64_t depth = 100000;
    xml::sarnel doc;
    doc.create("d");
    xml::handle h = doc.root_handle();
    for (std::uint64_t i = 1; i < depth; ++i)
        h = doc.add_child(h, "d");
    counting_buffer buffer;
    std::ostream out(&buffer);
    doc.write(out);
    // Each level but the last writes "<d>\n" and "</d>\n" behind its
    // indentation, the last one "<d/>\n".
    const std::uint64_t indentation = 2 * 2 * (depth - 1) * depth / 2 - 2 * (depth - 1);
    EXPECT_EQ(buffer.count, 23 + indentation + (depth - 1) * 9 + 5);
    EXPECT_EQ(buffer.head.substr(0, 41), "<?xml version=\"1.0\" ?>\n<d>\n  <d>\n    <d>\n");
}

TEST_F(WriterFiles, WritingToAPathReplacesTheFileAndLeavesNoTemporaryFile)
{
    const auto path = m_folder / "project.tvp";
    xml::sarnel doc;
    doc.create("Old");
    doc.write(path.string());
    doc.create("New");
    doc.add_child(doc.root_handle(), "Item");
    doc.write(path.string());
    EXPECT_EQ(file_text(path), written(doc));
    EXPECT_EQ(files_in_folder(), 1u);

    xml::sarnel read;
    read.read(path.string());
    EXPECT_EQ(written(read), written(doc));
}

TEST_F(WriterFiles, AFailedWriteKeepsTheOldFile)
{
    const auto path = m_folder / "project.tvp";
    xml::sarnel doc;
    doc.create("Old");
    doc.write(path.string());
    const std::string old_text = file_text(path);

    // A file size limit makes the disc "full" after 64 KiB.
    doc.create("New");
    for (int i = 0; i < 10000; ++i)
        doc.set_attribute(doc.add_child(doc.root_handle(), "Item"), "value", std::string(100, 'f'));
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1 << 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(doc.write(path.string()), std::ios_base::failure);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);

    EXPECT_EQ(file_text(path), old_text);
    EXPECT_EQ(files_in_folder(), 1u);
}

TEST_F(WriterFiles, AWriteThatCannotReplaceTheTargetLeavesNothingBehind)
{
    xml::sarnel doc;
    doc.create("Doc");
    const auto folder_target = m_folder / "taken";
    std::filesystem::create_directory(folder_target);
    EXPECT_THROW(doc.write(folder_target.string()), std::ios_base::failure);
    EXPECT_TRUE(std::filesystem::is_directory(folder_target));
    EXPECT_EQ(files_in_folder(), 1u);
    EXPECT_THROW(doc.write((m_folder / "missing" / "x.tvp").string()), std::ios_base::failure);
}

namespace {

TEST_F(WriterFiles, SavingThroughASymbolicLinkReplacesTheLinkedFileAndKeepsTheLink)
{
    namespace fs = std::filesystem;
    fs::create_directory(m_folder / "store");
    const auto real = m_folder / "store" / "real.tvp";
    const auto link = m_folder / "project.tvp";
    xml::sarnel doc;
    doc.create("Old");
    doc.write(real.string());
    fs::create_symlink(fs::path("store") / "real.tvp", link);
    // A link to a link: the last file in the chain is the one replaced.
    fs::create_symlink("project.tvp", m_folder / "again.tvp");

    doc.create("New");
    doc.write((m_folder / "again.tvp").string());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_symlink(m_folder / "again.tvp"));
    EXPECT_EQ(file_text(real), written(doc));
    EXPECT_EQ(files_in_folder(), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder / "store"), fs::directory_iterator()), 1);

    // A link whose file does not exist yet: the file is made where it points.
    fs::create_symlink(fs::path("store") / "later.tvp", m_folder / "dangling.tvp");
    doc.write((m_folder / "dangling.tvp").string());
    EXPECT_TRUE(fs::is_symlink(m_folder / "dangling.tvp"));
    EXPECT_EQ(file_text(m_folder / "store" / "later.tvp"), written(doc));
}

TEST_F(WriterFiles, SavingKeepsThePermissionsOfTheFileItReplaces)
{
    namespace fs = std::filesystem;
    const auto path = m_folder / "project.tvp";
    xml::sarnel doc;
    doc.create("Old");
    doc.write(path.string());
    // Group write is a permission the usual file-creation mask takes away.
    const auto shared
        = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::group_write;
    fs::permissions(path, shared);
    doc.create("New");
    doc.write(path.string());
    EXPECT_EQ(fs::status(path).permissions(), shared);
    EXPECT_EQ(file_text(path), written(doc));
    EXPECT_EQ(files_in_folder(), 1u);
}

} // namespace
