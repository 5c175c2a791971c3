#pragma once

// A tool of the video view: the view hands every input of its image area to
// the effective tool (the temporary one while a key holds it, else the
// current one). Points are client coordinates; flags are the MK_ bits of the
// message. Every operation does nothing by default.

#include "platform/gui/types.h"

class CDC;

namespace My {

class Tool {
public:
    virtual ~Tool() = default;

    virtual void Activate() { }
    virtual void Deactivate() { }
    // The tool became (stopped being) the effective tool.
    virtual void Selected() { }
    virtual void Deselected() { }
    // repeat: the key is held (auto-repeat).
    virtual void KeyDown(UINT key, bool repeat)
    {
        (void)key;
        (void)repeat;
    }
    virtual void KeyUp(UINT key) { (void)key; }
    virtual void LeftDoubleClick(UINT flags, CPoint p) { LeftDown(flags, p); }
    virtual void LeftDown(UINT flags, CPoint p) { (void)flags, (void)p; }
    virtual void LeftUp(UINT flags, CPoint p) { (void)flags, (void)p; }
    virtual void MouseMove(UINT flags, CPoint p) { (void)flags, (void)p; }
    virtual void MouseEnter() { }
    // The pointer left the image area, or the capture ended.
    virtual void MouseLeave() { }
    virtual void RightDoubleClick(UINT flags, CPoint p) { RightDown(flags, p); }
    virtual void RightDown(UINT flags, CPoint p) { (void)flags, (void)p; }
    virtual void RightUp(UINT flags, CPoint p) { (void)flags, (void)p; }
    // True when it showed a cursor.
    virtual bool SetCursor(UINT hit) { return (void)hit, false; }
    // Draws the tool's overlay (outline, rubber band) after the view painted
    // its picture; the overlay is state, drawn only here.
    virtual void RedrawOverlay(CDC& dc) { (void)dc; }
};

} // namespace My
