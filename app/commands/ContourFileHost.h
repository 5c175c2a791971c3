#pragma once

// The window side of the contour commands: the "Export Contour" save dialog,
// the clipboard and the wait cursor, and the commands as one member of the
// composition. UI thread only.

#include "document/project/ContourExport.h"

#include <functional>
#include <memory>
#include <string>

class CWnd;
class CompositionMember;
struct cursor;
class TLComp;

class ContourFileHost : public ContourHost {
public:
    // `owner` names the dialogs' owner window when asked (may answer null).
    explicit ContourFileHost(std::function<CWnd*()> owner);

    // Save dialog "Export Contour", filter "Contour Text Files (*.txt)|*.txt||",
    // default extension "txt", asking before a file is replaced; empty when
    // cancelled.
    std::string ChooseContourFile(const std::string& initial) override;
    void CopyLinesToClipboard(const std::string& text) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

private:
    std::function<CWnd*()> m_owner;
    const cursor* m_previousCursor = nullptr;
};

// "Copy Contour" and "Export Contour..." of `composition`'s selected segment
// over a ContourFileHost, as a member the composition owns and routes
// commands to.
std::unique_ptr<CompositionMember> MakeContourCommands(TLComp& composition, std::function<CWnd*()> owner);
