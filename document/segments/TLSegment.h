#pragma once

// One frame range of the composition in which one object is cut out. It owns
// the engine state (key frame, key mask, parameters, per-frame results) and
// the spans the timeline shows, turns the user's edits into undoable actions,
// asks the segment worker to calculate it and receives the worker's progress
// and completion on the UI thread. UI thread only; the worker reaches it only
// through posted messages.

#include "document/segments/MaskMode.h"
#include "document/segments/Segment.h"
#include "engine/param.h"
#include "foundation/image/image.h"
#include "widgets/core/CommandMap.h"
#include "widgets/properties/EditableObject.h"

#include <boost/shared_ptr.hpp>

#include <string>

class SegmentData;
class TLComp;

namespace xml {
class stream;
}
class TLSegmentSet;

namespace My {

// The interface of the mask editor's target.
class MaskOwner {
public:
    // The key mask (a 1-bit image of the composition's frame size).
    virtual const img::image<img::bit>& GetMask() const = 0;
    // Replaces the key mask by an undoable action named name ("Change Mask"
    // when empty); a mask with the current key mask's pixels records nothing.
    virtual void SetMask(const img::image<img::bit>& mask, const std::string& name) = 0;

protected:
    ~MaskOwner() = default;
};

} // namespace My

class TLSegment : public My::CommandTarget,
                  public My::Segment,
                  public My::MaskOwner,
                  public My::EditableObject {
public:
    class ParamsChange : public My::Segment::Event {
    public:
        using Event::Event;
    };
    class MaskModeChange : public My::Segment::Event {
    public:
        using Event::Event;
    };

    // A new segment at frame with an all-clear key mask of the composition's
    // frame size: time span {frame, frame + 1}, no results, mode Substitute.
    TLSegment(TLSegmentSet* set, int frame);
    // A new segment at frame whose key mask is the source's result at that
    // frame (all clear when it has none), with the source's parameters and,
    // when it contains the frame, the source's time span.
    TLSegment(TLSegmentSet* set, const TLSegment& source, int frame);
    // Ends editing, drops the messages still queued for the segment and
    // releases the engine state. The segment must be detached (not
    // processing).
    ~TLSegment() override;
    TLSegment(const TLSegment&) = delete;
    TLSegment& operator=(const TLSegment&) = delete;

    // My::Segment
    int GetKeyFrame() const override { return m_keyFrame; }
    My::Span GetTimeSpan() const override { return m_timeSpan; }
    // Undoable ("Adjust Segment"); both ends are first kept to the
    // footage's frames, and an unchanged span records nothing. Throws
    // xtd::exception, changing nothing, unless first < last and the key
    // frame lies inside.
    void SetTimeSpan(int first, int last) override;
    My::Span GetDataSpan() const override { return m_dataSpan; }
    bool IsProcessing() const override { return m_processing; }
    // The key mask has set and clear pixels, results do not already cover
    // the time span, and the segment is not processing.
    bool CanProcess() const override;
    // Queues the segment for the worker when it can process; false otherwise.
    // A request that throws leaves the segment idle.
    bool RequestProcessing() override;
    // Takes the segment out of the worker's queue, or asks the running
    // calculation to stop. With wait, returns only once the segment is idle,
    // running the UI thread's messages and the window's meanwhile; what they
    // throw passes on after that.
    void StopProcessing(bool wait) override;
    bool IsBeingEdited() const override;
    void BeginEditing() override;
    void EndEditing() override;
    // StopProcessing(true), then EndEditing (also when the wait throws): the
    // segment may then be deleted.
    void Detach() override;

    // My::MaskOwner
    const img::image<img::bit>& GetMask() const override;
    // Throws xtd::exception naming both sizes when the mask's size is not
    // the composition's frame size. A mask with the current key mask's
    // pixels keeps the results and records nothing.
    void SetMask(const img::image<img::bit>& mask, const std::string& name) override;

    // My::EditableObject
    My::PropertyTable& GetProperties() override;
    std::string GetTypeName() const override;

    bool RouteCommand(My::CommandEventBase& event) override;

    MaskMode GetMaskMode() const { return m_maskMode; }
    // Undoable ("Change Mask Mode of Segment").
    void SetMaskMode(int mode, bool inverted);
    const trm::param& GetParams() const;
    // Undoable ("Change Parameters"); parameters that validate to the
    // current ones record nothing.
    void SetParams(const trm::param& params);
    // Undoable ("Trim Data"): drops the results outside the time span.
    void TrimData();

    // The project file's "Segment" element: the engine state, "TimeSpan"
    // (both ends required on reading) and "MaskMode". Reading makes the key
    // frame the engine's origin and clamps the time span and the results
    // into the composition's frames.
    void Serialize(xml::stream& stream);
    // A segment just read fits the composition: its key frame lies in its
    // time span and its key mask has the composition's frame size.
    bool FitsComposition() const;

    // The engine's result at frame with the segment's mode; the record is
    // empty when the frame has none.
    MaskLayer GetMaskLayer(int frame) const;

    // Raw setters for the actions and the worker's messages.
    void SetDataSpan(int first, int last);
    void StoreTimeSpan(const My::Span& span);
    void StoreMaskMode(const MaskMode& mode);

    // UI-thread targets of the worker's messages.
    void OnProcessingProgress(My::Span span, int frame);
    void OnProcessingDone();

    // The engine state; the data actions replace it as a whole.
    const boost::shared_ptr<SegmentData>& GetEngine() const { return m_engine; }
    // Installs a state: the data span becomes its computed range and, when
    // its parameters differ from the old state's, the parameters' change is
    // announced.
    void InstallEngine(const boost::shared_ptr<SegmentData>& engine);
    // Installs a state without comparing parameters.
    void SwapEngine(const boost::shared_ptr<SegmentData>& engine) { m_engine = engine; }
    // The change of the parameters: ParamsChange and the property's notice.
    void NotifyParamsChange();
    // The mask editor reloads the key mask when it edits this segment.
    void ReloadMaskIfEdited();

    TLSegmentSet& GetSet() const { return *m_set; }
    TLComp& GetComposition() const;

    // The key mask commands; see the command table of the segment.
    void ImportKeyMask();
    void ExportKeyMask();

private:
    void Init(int frame);
    void BuildCommands();
    bool HasUsableKeyMask() const;
    void SendStateChange();

    TLSegmentSet* m_set;
    int m_keyFrame = 0;
    My::Span m_timeSpan;
    My::Span m_dataSpan;
    boost::shared_ptr<SegmentData> m_engine;
    bool m_processing = false;
    MaskMode m_maskMode;
    My::CommandMap m_commands;
};
