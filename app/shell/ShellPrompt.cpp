#include "app/shell/ShellPrompt.h"

#include <iostream>

#include "platform/gui/app.h"
#include "platform/gui/message_box.h"

ShellPrompt::ShellPrompt()
    : m_ui(std::this_thread::get_id())
{
}

int ShellPrompt::MessageBox(const std::string& text, unsigned style)
{
    if (std::this_thread::get_id() != m_ui) {
        const bool question = (style & My::MB_TYPEMASK) != My::MB_OK;
        if (question) {
            std::cerr << text << '\n';
            return My::IDCANCEL;
        }
        // Through whichever prompt is installed when the call runs: this one
        // may be gone by then.
        platform::gui::post([text, style] { My::MessageBox(text, style); });
        return My::IDOK;
    }
    m_shown.push_back(text);
    if (!m_answers.empty()) {
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    if (m_scripted) {
        ++m_unanswered;
        std::cerr << "unanswered message box: " << text << std::endl;
        return (style & My::MB_TYPEMASK) == My::MB_OK ? My::IDOK : My::IDCANCEL;
    }
    return platform::MessageBox(text, style);
}
