#pragma once

// One line of text inside a row or panel that, unless read-only, the user
// edits in place: a click on the text opens an edit window over it; Enter or
// moving the focus elsewhere commits, Escape cancels. The text is not kept
// here: subclasses give it (GetText) and take a committed edit (SetText,
// which may throw to reject it). A text that does not fit ends in an
// ellipsis and is offered in full as the tooltip.

#include <memory>
#include <string>

#include "platform/gui/wnd.h"
#include "widgets/core/Container.h"
#include "widgets/core/Widget.h"
#include "widgets/core/Window.h"

namespace My {

class TextControl;

// The edit window of a text control. It never deletes itself: ending an
// edit marks it ending (a focus loss then commits nothing), hides it and
// leaves its deletion to the event loop, so no handler of its own runs on a
// deleted object.
class InplaceEdit : public Window<CEdit>, public Widget {
public:
    explicit InplaceEdit(TextControl* owner);

    bool AcceptsFocus() const override { return true; }
    CRect GetBounds() const override { return Widget::GetBounds(); }
    bool IsVisible() const override { return Widget::IsVisible(); }
    CFont* GetFont() const override { return Widget::GetFont(); }
    void BoundsChanged() override;
    void OnShow(bool visible) override;
    void Place() { PlaceWindow(); }

    bool IsEnding() const { return m_ending; }
    // Ends the editor's part: no more calls to the owner.
    void MarkEnding();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    TextControl* m_owner;
    bool m_ending = false;
};

class TextControl : public virtual Container, public virtual Widget {
public:
    TextControl();
    ~TextControl() override;

    // False: nothing to show.
    virtual bool GetText(std::string& out) const = 0;
    // Takes a committed edit; may throw to reject it.
    virtual void SetText(const std::string& text) = 0;
    virtual bool IsReadOnly() const { return m_readOnly; }

    void SetReadOnly(bool read_only);
    bool IsEditing() const { return m_editor != nullptr; }
    InplaceEdit* GetEditor() const { return m_editor; }
    const CRect& GetTextRect() const { return m_textRect; }
    bool IsTruncated() const { return m_truncated; }

    // Opens the editor; nothing when one is open.
    void BeginEdit();
    // Takes the editor's text, ends the edit, then hands the text to SetText.
    void CommitEdit();
    // Ends the edit without committing.
    void CancelEdit();
    // The editor's text changed.
    void OnEditorChange();

    // The text's rectangle in the control's area (4 pixels in from left and
    // right, vertically centred, cut to the area); sets the truncated flag.
    CRect CalcTextRect(const std::string& text);
    // Measures the text for the preferred size; the parent lays out when
    // it changed.
    void MeasureText();

    CSize GetPreferredSize() const override;
    std::string GetToolTipText() const override;
    bool OnCursor(UINT flags, const CPoint& point) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    void OnShow(bool visible) override;
    void OnEnable(bool enabled) override;
    void OnFontChange() override;
    void Layout() override;
    void Draw(CDC& dc, const CRect& clip) override;

protected:
    // Creates the editor's window as a child of the host window; tests put
    // a window of their own in its place.
    virtual void CreateEditorWindow(InplaceEdit& editor);

private:
    void EndEdit();
    // Removes the editor; with return_focus, the keyboard it held goes back
    // to the window the text sits in (or, when that takes no focus, to the
    // one that had it before the edit).
    void ReleaseEditor(bool return_focus);
    void ReturnFocus(const CWnd* editor, CWnd* before);

    InplaceEdit* m_editor = nullptr;
    int m_preferredWidth = -1;
    int m_preferredHeight = -1;
    CRect m_textRect;
    bool m_truncated = false;
    bool m_readOnly = false;
    // The window that had the keyboard when the edit began.
    CWnd* m_focusBefore = nullptr;
    // Calls posted to the event loop hold it; cleared when the control goes.
    std::shared_ptr<TextControl*> m_self;
};

} // namespace My
