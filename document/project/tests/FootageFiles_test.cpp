#include "document/project/FootageFiles.h"

#include "document/project/tests/project_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace project_testing;

bool Has(const std::vector<std::string>& files, const std::string& path)
{
    return std::find(files.begin(), files.end(), path) != files.end();
}

TEST(FootageFiles, EveryMemberOfTheFootageAndTheBackgroundIsRead)
{
    Workspace workspace;
    EXPECT_TRUE(FootageFiles(TLComp()).empty());
    Project project(workspace, 30);
    const auto files = FootageFiles(project.comp);
    const std::string plates = workspace.scratch.File("plates") + "/";
    EXPECT_TRUE(Has(files, plates + "shot_0000.png"));
    EXPECT_TRUE(Has(files, plates + "shot_0029.png"));
    EXPECT_FALSE(Has(files, plates + "shot_0030.png"));
    EXPECT_TRUE(Has(files, plates + "back_0047.png"));
    EXPECT_EQ(files.size(), 30u + 48u);

    project.comp.GetBackground().Clear();
    EXPECT_EQ(FootageFiles(project.comp).size(), 30u);

    // A project file names its footage with "\" between folders: the files
    // are those the system opens.
    std::string stored = plates + "back_0003.png";
    std::replace(stored.begin(), stored.end(), '/', '\\');
    project.comp.GetBackground().SetFootage(workspace.library.create_footage(stored));
    const auto read = FootageFiles(project.comp);
    EXPECT_TRUE(Has(read, plates + "back_0010.png"));
    for (const std::string& file : read)
        EXPECT_EQ(file.find('\\'), std::string::npos) << file;
}

} // namespace
