#include "widgets/core/Prompt.h"

#include <gtest/gtest.h>

namespace {

struct FakePrompt : My::Prompt {
    std::string text;
    unsigned style = 0;
    int MessageBox(const std::string& t, unsigned s) override
    {
        text = t;
        style = s;
        return My::IDOK;
    }
};

} // namespace

TEST(Prompt, DefaultPromptDeclinesQuestions)
{
    My::SetPrompt(nullptr);
    EXPECT_EQ(My::MessageBox("Close anyway?", My::MB_OKCANCEL | My::MB_ICONEXCLAMATION), My::IDCANCEL);
    EXPECT_EQ(My::MessageBox("Save?", My::MB_YESNOCANCEL), My::IDCANCEL);
    EXPECT_EQ(My::MessageBox("Note."), My::IDOK);
}

TEST(Prompt, ReportNamesTheOperationAndEndsWithOneFullStop)
{
    My::ClearOperations();
    EXPECT_EQ(My::ComposeErrorReport("boom"), "Error while performing operation:\nboom.");
    My::PushOperation("");
    EXPECT_EQ(My::ComposeErrorReport("x."), "Error while performing operation:\nx.");
    My::PushOperation("opening project");
    EXPECT_EQ(My::ComposeErrorReport("file not found"), "Error while opening project:\nfile not found.");
    EXPECT_EQ(My::ComposeErrorReport("line\n"), "Error while opening project:\nline\n");

    FakePrompt fake;
    My::Prompt* previous = My::SetPrompt(&fake);
    My::ReportError("file not found");
    My::SetPrompt(previous);
    EXPECT_EQ(fake.text, "Error while opening project:\nfile not found.");
    EXPECT_EQ(fake.style, My::MB_ICONERROR);
    EXPECT_EQ(My::GetCurrentOperation(), "");
}
