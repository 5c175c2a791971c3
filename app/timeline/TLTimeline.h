#pragma once

// The application's timeline panel of a composition: the rows "Foreground"
// (with the segment set row "Mask" under it) and "Background", attached to
// the composition's sequence, segment set and background layer. Dragging
// the background's start or trimming marks the project modified (those
// edits record no undo entry), so closing asks the save question. UI thread
// only.

#include "app/timeline/LayerRow.h"
#include "app/timeline/SegmentRows.h"
#include "app/timeline/Xline.h"

class TLComp;

class TLTimeline : public My::Xline {
public:
    // The composition (may be null) outlives its attachment.
    explicit TLTimeline(TLComp* composition);
    ~TLTimeline() override;

    void SetComposition(TLComp* composition);
    void OnOpen() override;
    void OnClose() override;

    My::SegmentSetRow& GetMaskRow() { return m_mask; }
    My::LayerRow& GetForegroundRow() { return m_foreground; }
    My::LayerRow& GetBackgroundRow() { return m_background; }

private:
    TLComp* m_composition = nullptr;
    My::SegmentSetRow m_mask;
    My::LayerRow m_foreground;
    My::LayerRow m_background;
};
