#pragma once

// The editor of one key mask: it keeps a private 1-bit copy of its target's
// mask, lends it to the brush and fill tools, and writes it back as one
// undoable action per stroke or fill. It imports and exports key masks as
// BMP files. Owned by the composition view; UI thread only.

#include "app/view/BrushTool.h"
#include "app/view/FillTool.h"
#include "foundation/image/image.h"
#include "widgets/core/CommandMap.h"
#include "widgets/core/Event.h"
#include "widgets/core/EventDispatcher.h"

#include <functional>
#include <string>

namespace My {

class MaskOwner;
class SequenceView;

inline constexpr UINT ID_TOOL_BRUSH = 60101;
inline constexpr UINT ID_TOOL_FILL = 60102;
inline constexpr UINT ID_IMPORT_MASK = 50054;
inline constexpr UINT ID_EXPORT_MASK = 50055;

class MaskEditor : public EventDispatcher, public CommandTarget {
public:
    // Editing started or ended.
    class StateChange : public Event {
    public:
        ~StateChange() override;
    };
    // The edited mask changed (a commit, a reload, an import).
    class MaskChange : public Event {
    public:
        ~MaskChange() override;
    };

    explicit MaskEditor(SequenceView& view);
    ~MaskEditor();

    // Ends a running edit, copies the owner's mask, makes the remembered
    // tool (first the brush) the view's tool.
    void BeginEdit(MaskOwner* owner);
    // Remembers the view's tool and clears it; forgets the target and mask.
    void EndEdit();
    // Writes the mask to the target as one action named name.
    void Commit(const std::string& name);
    // After the target's mask action was done, undone or redone: the copy
    // follows, except while the editor commits itself.
    void ReloadMask();
    bool IsEditing() const { return m_target != nullptr; }
    MaskOwner* GetTarget() const { return m_target; }
    img::image<img::bit>& GetMask() { return m_mask; }
    const img::image<img::bit>& GetMask() const { return m_mask; }
    BrushTool& GetBrushTool() { return m_brush; }
    FillTool& GetFillTool() { return m_fill; }
    // A stroke changed the copy (drawn now, committed at its end).
    void NotifyStroke();

    // The file for Import Mask (save false) or Export Mask (save true);
    // empty when the user cancelled. Without a chooser the commands do
    // nothing.
    void SetFileChooser(std::function<std::string(bool save)> chooser) { m_chooser = std::move(chooser); }
    // Writes the target's mask as a 1-bit BMP (black 0, white 1) under the
    // operation "exporting mask".
    void ExportMask(const std::string& path);
    // Reads a BMP under the operation "importing mask"; a bitmap of other
    // dimensions is placed at the top-left of a clear mask of the target's
    // size after the user agreed. Answers whether the mask was imported.
    bool ImportMask(const std::string& path);

    bool RouteCommand(CommandEventBase& event) override;

private:
    void SendState();
    void SendMask();

    SequenceView& m_view;
    MaskOwner* m_target = nullptr;
    img::image<img::bit> m_mask;
    BrushTool m_brush;
    FillTool m_fill;
    bool m_committing = false;
    Tool* m_remembered;
    CommandMap m_commands;
    std::function<std::string(bool)> m_chooser;
};

} // namespace My
