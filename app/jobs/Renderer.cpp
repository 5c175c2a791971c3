#include "app/jobs/Renderer.h"

#include "document/composition/TLComp.h"
#include "document/processing/AsyncMessage.h"
#include "widgets/core/Prompt.h"

#include <memory>

namespace {

// A text for the user, shown when the UI thread runs the message.
class JobNotice : public My::Message {
public:
    explicit JobNotice(std::string text)
        : m_text(std::move(text))
    {
    }
    void Execute() override { My::MessageBox(m_text, My::MB_ICONEXCLAMATION); }

private:
    std::string m_text;
};

} // namespace

Renderer::Renderer(TLComp& composition, My::MessageQueue* queue)
    : m_composition(composition)
    , m_queue(queue ? *queue : My::GetMessageQueue())
{
    m_composition.JobStarted();
}

Renderer::~Renderer()
{
    m_composition.JobEnded();
}

void Renderer::PostDelete()
{
    My::PostDelete(this, m_queue);
}

void Renderer::PostNotice(const std::string& text)
{
    m_queue.Post(std::make_unique<JobNotice>(text));
}

void Renderer::on_error(const std::string& text)
{
    // The thread base neither posts the deletion nor runs the job again:
    // without it the job (its progress window, its open output, the
    // composition's count) would stay for ever.
    try {
        PostNotice(text);
    } catch (...) {
        thread::on_error(text);
    }
    PostDelete();
}

void Renderer::StartThread()
{
    start(false);
    handle().set_priority(platform::THREAD_PRIORITY_BELOW_NORMAL);
    resume();
}
