#pragma once

// The "Go to Frame" question: one frame number, shown and entered as the
// user counts frames (from the sequence's first frame number). Any integer
// is accepted; the sequence clamps it. Other text keeps the dialog open
// with a message. UI thread only.

#include "platform/gui/dialog.h"

#include <string>

namespace My {

class Sequence;

class GoToFrameDlg : public CDialog {
public:
    static constexpr int kDialogId = 50032;
    static constexpr int kFrameItem = 50033;

    GoToFrameDlg(int value, CWnd* parent);
    int GetValue() const { return m_value; }

protected:
    void OnInitDialog() override;
    void OnOK() override;

private:
    int m_value;
};

// Asks for the frame (opening on the preview frame) and, on OK, makes the
// answer the current frame. Answers whether the user chose OK.
bool RunGoToFrame(Sequence& sequence, CWnd* parent);

} // namespace My
