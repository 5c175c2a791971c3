#include "widgets/properties/EditRecorder.h"

#include <exception>

#include "widgets/core/Prompt.h"
#include "widgets/properties/PropertyBase.h"

namespace My {

namespace {

EditRecorder* g_recorder = nullptr;

} // namespace

EditRecorder* SetEditRecorder(EditRecorder* recorder)
{
    EditRecorder* previous = g_recorder;
    g_recorder = recorder;
    return previous;
}

EditRecorder* GetEditRecorder()
{
    return g_recorder;
}

EditScope::EditScope()
    : m_recorder(g_recorder)
    , m_exceptions(std::uncaught_exceptions())
{
    if (m_recorder)
        m_recorder->BeginEdit();
}

EditScope::~EditScope() noexcept(false)
{
    if (!m_recorder)
        return;
    if (std::uncaught_exceptions() > m_exceptions) {
        try {
            m_recorder->AbortEdit();
        } catch (...) {
            // The failure on its way is the one the user sees.
        }
        return;
    }
    m_recorder->EndEdit();
}

bool ApplyEdit(const EditableList& objects, const std::function<void(EditableObject*)>& write)
{
    try {
        EditScope scope;
        for (EditableObject* object : objects.GetObjects())
            write(object);
    } catch (const std::exception& e) {
        ReportError(e.what());
        return false;
    } catch (...) {
        ReportError("Unknown error");
        return false;
    }
    return true;
}

} // namespace My
