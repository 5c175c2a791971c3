#pragma once

// A horizontal track with a thumb that edits a value between 0.0 and 1.0;
// subclasses map the value to their own quantity (GetValue, SetValue). A
// press on the track jumps the value there; a drag moves the thumb with the
// pointer, pinned to the ends. A slider that is not enabled in its tree
// shows no thumb and ignores the pointer.

#include "widgets/controls/Glyph.h"
#include "widgets/core/Widget.h"

namespace My {

class Slider : public Widget {
public:
    Slider();

    virtual double GetValue() const = 0;
    virtual void SetValue(double value) = 0;

    CSize GetPreferredSize() const override { return CSize(); }
    void Draw(CDC& dc, const CRect& clip) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    bool BeginDrag(UINT flags, const CPoint& press, const CPoint& now) override;
    void Drag(UINT flags, const CPoint& point) override;

    // The track of the last painting (ComputeTrack); width 0 before.
    int GetTrackLeft() const { return m_trackLeft; }
    int GetTrackWidth() const { return m_trackWidth; }
    // The track band and track of an area of this size; sets the track.
    CRect ComputeTrack(const CSize& size);
    // The thumb glyph's left edge for a value on the current track.
    int ThumbLeft(double value) const;

    static constexpr int horizontal_margin = 6;
    static constexpr int vertical_margin = 3;

private:
    Glyph m_thumb;
    int m_trackLeft = 0;
    int m_trackWidth = 0;
    int m_pressX = 0;
    int m_thumbOffset = 0;
};

} // namespace My
