#pragma once

// The program's message boxes. They are shown only on the UI thread: a
// notice from another thread is shown there later, and a question from
// another thread is answered Cancel at once (it cannot wait for the UI
// thread without risking a deadlock), with its text on the diagnostic
// stream. A test may queue answers, which are then given without a box.

#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "widgets/core/Prompt.h"

class ShellPrompt : public My::Prompt {
public:
    // The calling thread is the UI thread.
    ShellPrompt();

    int MessageBox(const std::string& text, unsigned style) override;

    // The next questions get these answers (ID values), without a box.
    void QueueAnswer(int answer) { m_answers.push_back(answer); }
    bool HasQueuedAnswers() const { return !m_answers.empty(); }
    // A scripted session: a box without a queued answer is not shown; it
    // gets Cancel (OK for a notice) and is counted.
    void SetScripted(bool scripted) { m_scripted = scripted; }
    int GetUnanswered() const { return m_unanswered; }
    // The texts of the boxes shown or answered so far.
    const std::vector<std::string>& GetShown() const { return m_shown; }

private:
    std::thread::id m_ui;
    std::deque<int> m_answers;
    std::vector<std::string> m_shown;
    bool m_scripted = false;
    int m_unanswered = 0;
};
