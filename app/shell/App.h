#pragma once

// The application machinery bound to a concrete document and frame class:
// builds the document and the main frame at initialisation and deletes them
// at exit.

#include <memory>

#include "app/shell/AppBase.h"
#include "app/shell/Frame.h"
#include "document/Doc.h"
#include "platform/gui/shell.h"
#include "widgets/core/MainWindow.h"

namespace My {

template <class TDoc, class TFrame> class App : public AppBase {
public:
    ~App() override { ExitInstance(); }

    Doc* GetDoc() override { return m_doc.get(); }
    Frame* GetMainFrame() override { return m_frame.get(); }
    TDoc* GetDocument() { return m_doc.get(); }
    TFrame* GetFrame() { return m_frame.get(); }

    // Reads the recent-file list (ten entries), makes the document and the
    // frame, loads the frame and shows it maximised, and lets files be
    // dropped on it. False when the frame cannot be created.
    virtual bool InitInstance()
    {
        m_recentFiles.Read();
        std::unique_ptr<TDoc> doc = CreateDocument();
        SetCurrentDoc(doc.get());
        m_doc = std::move(doc);
        m_frame = std::make_unique<TFrame>(m_doc.get());
        if (!m_frame->LoadFrame())
            return false;
        platform::gui::maximize_window(m_frame.get());
        m_frame->ShowWindow(SW_SHOWMAXIMIZED);
        m_frame->UpdateWindow();
        SetMainWindow(m_frame.get());
        platform::gui::accept_files(m_frame.get(), true);
        return true;
    }

    // Deletes the frame object, then the document.
    virtual void ExitInstance()
    {
        if (m_frame && GetMainWindow() == m_frame.get())
            SetMainWindow(nullptr);
        m_frame.reset();
        if (GetDoc() == My::GetDoc())
            SetCurrentDoc(nullptr);
        m_doc.reset();
    }

protected:
    void OnRecentFilesChanged() override
    {
        if (m_frame)
            m_frame->RebuildMenu();
    }
    virtual std::unique_ptr<TDoc> CreateDocument() = 0;

private:
    std::unique_ptr<TDoc> m_doc;
    std::unique_ptr<TFrame> m_frame;
};

} // namespace My
