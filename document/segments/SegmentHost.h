#pragma once

// What segments ask of the windows around them: the view that follows
// processing and redraws, the mask editor that edits a key mask, the file
// dialogs of the key mask commands and the notice shown while a stop is
// awaited. The window layer implements it; tests use fakes. UI thread only.

#include <string>

class TLSegment;

namespace platform {
class waitable;
}

class SegmentHost {
public:
    // The mask editor's target became segment (null: it has none).
    virtual void OnEditTargetChange(TLSegment* segment) = 0;
    // The mask editor reloads the key mask of the segment it edits.
    virtual void ReloadMask(TLSegment& segment) = 0;
    // The segment's engine state was replaced: the view repaints it.
    virtual void RefreshSegment(TLSegment& segment) = 0;
    // A frame of the segment was calculated.
    virtual void OnSegmentProgress(TLSegment& segment, int frame) = 0;
    // The segment's processing ended.
    virtual void OnSegmentProcessed(TLSegment& segment) = 0;
    // The segment was queued for processing (the player may follow it).
    virtual void OnProcessingRequested(TLSegment& segment) = 0;
    // The key mask file to read (save false) or write (save true); empty when
    // the user cancelled.
    virtual std::string ChooseKeyMaskFile(bool save) = 0;
    // Shows (true) or hides (false) the notice "Cancelling segment
    // processing..." with the main window disabled meanwhile.
    virtual void ShowCancelling(bool show) = 0;
    // While a stop is awaited: handles the pending window messages (the
    // windows keep painting) and waits until posted (a message for the UI
    // thread) is signalled or a moment has passed.
    virtual void WaitDispatching(platform::waitable& posted) = 0;

protected:
    ~SegmentHost() = default;
};
