#pragma once

// A prompt that records the messages it is asked to show and answers them
// as a test says, and its installation for one test.

#include "widgets/core/Prompt.h"

#include <string>
#include <vector>

namespace prompt_testing {

struct FakePrompt : My::Prompt {
    std::vector<std::string> texts;
    std::vector<unsigned> styles;
    int answer = My::IDOK;
    int MessageBox(const std::string& text, unsigned style) override
    {
        texts.push_back(text);
        styles.push_back(style);
        return answer;
    }
};

// Installs a fake prompt for one test.
struct PromptScope {
    FakePrompt prompt;
    My::Prompt* previous;
    PromptScope()
        : previous(My::SetPrompt(&prompt))
    {
    }
    ~PromptScope() { My::SetPrompt(previous); }
};

} // namespace prompt_testing
