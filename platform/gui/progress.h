#pragma once

// A modeless progress window: a caption, a centred line of text, a progress
// bar and a Cancel button, as a small tool window owned by a parent window.
// Cancel, Escape and the close box only call the cancel handler; the window
// stays until DestroyWindow. UI thread only. Without a running window system
// the window keeps its state (text, range, position) and shows nothing.

#include <functional>
#include <memory>
#include <string>

#include "platform/gui/types.h"

class CWnd;

class CProgressWindow {
public:
    CProgressWindow();
    ~CProgressWindow();
    CProgressWindow(const CProgressWindow&) = delete;
    CProgressWindow& operator=(const CProgressWindow&) = delete;

    // Creates the window hidden; false when it exists already.
    bool Create(CWnd* parent, const std::string& caption);
    void DestroyWindow();
    bool IsCreated() const { return m_created; }

    void SetCaption(const std::string& caption);
    std::string GetCaption() const { return m_caption; }
    void SetText(const std::string& text);
    std::string GetText() const { return m_text; }
    // The bar runs from 0 to total.
    void SetRange(int total);
    int GetRange() const { return m_range; }
    void SetPos(int pos);
    int GetPos() const { return m_pos; }
    void Show(bool visible);
    bool IsVisible() const { return m_visible; }
    void Enable(bool enabled);

    // Called on the UI thread when the user asks to cancel.
    void SetCancelHandler(std::function<void()> handler) { m_onCancel = std::move(handler); }
    // As if the user pressed Cancel.
    void PressCancel();
    // The Cancel button's rectangle on the screen; empty without a window.
    CRect GetCancelRect() const;

    struct native;

private:
    bool m_created = false;
    bool m_visible = false;
    std::string m_caption;
    std::string m_text;
    int m_range = 100;
    int m_pos = 0;
    std::function<void()> m_onCancel;
    std::unique_ptr<native> m_native;
};
