#include "app/view/MaskEditor.h"

#include "app/view/SequenceView.h"
#include "document/segments/TLSegment.h"
#include "foundation/files/bmp_reader.h"
#include "foundation/files/bmp_writer.h"
#include "foundation/files/byte_stream.h"
#include "foundation/image/blit.h"
#include "widgets/core/Prompt.h"

#include <algorithm>
#include <array>

namespace My {

MaskEditor::StateChange::~StateChange() = default;
MaskEditor::MaskChange::~MaskChange() = default;

MaskEditor::MaskEditor(SequenceView& view)
    : m_view(view)
    , m_brush(view, *this)
    , m_fill(view, *this)
    , m_remembered(&m_brush)
{
    const auto editing = [this](CommandUI& ui) { ui.Enable(IsEditing()); };
    m_commands.Add(
        ID_TOOL_BRUSH,
        [this] {
            if (IsEditing())
                m_view.SetTool(&m_brush);
        },
        [this](CommandUI& ui) {
            ui.Enable(IsEditing());
            ui.SetCheck(m_view.GetTool() == &m_brush ? 1 : 0);
        });
    m_commands.Add(
        ID_TOOL_FILL,
        [this] {
            if (IsEditing())
                m_view.SetTool(&m_fill);
        },
        [this](CommandUI& ui) {
            ui.Enable(IsEditing());
            ui.SetCheck(m_view.GetTool() == &m_fill ? 1 : 0);
        });
    m_commands.Add(
        ID_IMPORT_MASK,
        [this] {
            if (!IsEditing() || !m_chooser)
                return;
            const std::string path = m_chooser(false);
            if (!path.empty())
                ImportMask(path);
        },
        editing);
    m_commands.Add(
        ID_EXPORT_MASK,
        [this] {
            if (!IsEditing() || !m_chooser)
                return;
            const std::string path = m_chooser(true);
            if (!path.empty())
                ExportMask(path);
        },
        editing);
}

MaskEditor::~MaskEditor() = default;

void MaskEditor::SendState()
{
    StateChange e;
    Send(e);
}

void MaskEditor::SendMask()
{
    MaskChange e;
    Send(e);
}

void MaskEditor::BeginEdit(MaskOwner* owner)
{
    EndEdit();
    if (!owner)
        return;
    m_target = owner;
    m_mask = owner->GetMask();
    SendState();
    m_view.SetTool(m_remembered);
}

void MaskEditor::EndEdit()
{
    if (!IsEditing())
        return;
    if (m_view.GetTool())
        m_remembered = m_view.GetTool();
    m_view.SetTool(nullptr);
    m_target = nullptr;
    m_mask.clear();
    SendState();
}

void MaskEditor::Commit(const std::string& name)
{
    if (!IsEditing())
        return;
    m_committing = true;
    try {
        m_target->SetMask(m_mask, name);
    } catch (...) {
        m_committing = false;
        throw;
    }
    m_committing = false;
    SendMask();
}

void MaskEditor::ReloadMask()
{
    if (!IsEditing() || m_committing)
        return;
    m_mask = m_target->GetMask();
    SendMask();
}

void MaskEditor::NotifyStroke()
{
    SendMask();
}

void MaskEditor::ExportMask(const std::string& path)
{
    if (!IsEditing())
        return;
    PushOperation("exporting mask");
    img::write_bmp_file(path, m_target->GetMask());
    PopOperation();
}

bool MaskEditor::ImportMask(const std::string& path)
{
    if (!IsEditing())
        return false;
    PushOperation("importing mask");
    img::image<img::bit> read;
    img::read_bmp_file(path, read);
    const img::image<img::bit>& current = m_target->GetMask();
    img::image<img::bit> mask;
    if (read.width != current.width || read.height != current.height) {
        const std::string text = "The bitmap (" + path + ") has different dimensions.\nProceed?";
        if (MessageBox(text, MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) {
            PopOperation();
            return false;
        }
        mask.resize(current.width, current.height, 4);
        mask.fill(false);
        img::blit_or(mask, 0, 0, static_cast<int>(read.width), static_cast<int>(read.height), read, 0, 0);
    } else {
        mask = read;
    }
    m_target->SetMask(mask, "Import Mask");
    if (IsEditing())
        m_mask = m_target->GetMask();
    SendMask();
    PopOperation();
    return true;
}

bool MaskEditor::RouteCommand(CommandEventBase& event)
{
    return m_commands.Dispatch(event);
}

} // namespace My
