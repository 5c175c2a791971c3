#pragma once

// Models without a project behind them, for tests of the timeline, the
// player and the segment commands.

#include "document/Doc.h"
#include "document/composition/Layer.h"
#include "document/composition/Sequence.h"
#include "document/segments/Segment.h"
#include "document/segments/SegmentSet.h"
#include "widgets/core/CommandMap.h"

#include <memory>
#include <string>
#include <vector>

namespace test {

class FakeSequence : public My::Sequence {
public:
    bool IsEmpty() const override { return m_count <= 0; }
    int GetFirstFrame() const override { return m_first; }
    int GetFrameCount() const override { return m_count; }
    My::Span GetWorkArea() const override { return m_area; }
    void SetWorkArea(int first, int last) override
    {
        ++workAreaSets;
        m_area = { first, last };
        WorkAreaChange change(this);
        Send(change);
    }
    int GetCurrentFrame() const override { return m_current; }
    void SetCurrentFrame(int frame) override
    {
        if (IsEmpty() || frame < m_first || frame >= m_first + m_count)
            return;
        m_current = frame;
        m_preview = frame;
        CurrentFrameChange change(this);
        Send(change);
    }
    int GetPreviewFrame() const override { return m_preview; }
    void SetPreviewFrame(int frame) override
    {
        if (frame == m_preview)
            return;
        m_preview = frame;
        PreviewFrameChange change(this);
        Send(change);
    }
    types::extent<unsigned> GetFrameSize() const override { return { 720, 576 }; }
    bool IsProcessing() const override { return processing; }

    // Opens with count frames (work area all of them, current frame 0).
    void Open(int count, int first = 0)
    {
        m_first = first;
        m_count = count;
        m_area = { first, first + count };
        m_current = m_preview = first;
        OpenEvent open(this);
        Send(open);
    }
    // Empty first, then announced, as the composition does.
    void Close()
    {
        m_count = 0;
        m_area = {};
        m_current = m_preview = -1;
        CloseEvent close(this);
        Send(close);
    }

    bool processing = false;
    int workAreaSets = 0;

private:
    int m_first = 0;
    int m_count = 0;
    My::Span m_area;
    int m_current = -1;
    int m_preview = -1;
};

class FakeSegment : public My::Segment {
public:
    FakeSegment(int first, int key, int last)
        : m_span { first, last }
        , m_key(key)
    {
    }
    int GetKeyFrame() const override { return m_key; }
    My::Span GetTimeSpan() const override { return m_span; }
    void SetTimeSpan(int first, int last) override
    {
        ++timeSpanSets;
        if (My::Span { first, last } == m_span)
            return;
        ++undoEntries;
        m_span = { first, last };
        TimeSpanChange change(this);
        Send(change);
    }
    My::Span GetDataSpan() const override { return data; }
    bool IsProcessing() const override { return processing; }
    bool CanProcess() const override { return canProcess; }
    bool RequestProcessing() override
    {
        ++processRequests;
        return true;
    }
    void StopProcessing(bool wait) override { stops.push_back(wait); }
    bool IsBeingEdited() const override { return editing; }
    void BeginEditing() override { editing = true; }
    void EndEditing() override { editing = false; }
    void Detach() override { }

    My::Span data;
    bool processing = false;
    bool canProcess = true;
    bool editing = false;
    int processRequests = 0;
    int timeSpanSets = 0;
    int undoEntries = 0;
    std::vector<bool> stops;

private:
    My::Span m_span;
    int m_key;
};

class FakeDoc : public My::Doc {
public:
    void Load(const std::string&, int) override { }
    void Store(const std::string&) override { }
};

class FakeSegmentSet : public My::SegmentSet {
public:
    explicit FakeSegmentSet(My::Doc* doc)
        : m_doc(doc)
    {
    }
    My::Doc* GetOwner() const override { return m_doc; }
    bool IsEmpty() const override { return segments.empty(); }
    int GetCount() const override { return int(segments.size()); }
    My::Segment* GetSegment(int index) const override
    {
        return index >= 0 && index < GetCount() ? segments[std::size_t(index)].get() : nullptr;
    }
    void DeleteSelected() override { }
    void MoveSelected(int) override { }
    void Insert(int, TLSegment*) override { }
    TLSegment* RemoveAt(int) override { return nullptr; }
    TLSegment* GetAt(int) const override { return nullptr; }

    std::vector<std::unique_ptr<FakeSegment>> segments;

private:
    My::Doc* m_doc;
};

class FakeLayer : public My::Layer {
public:
    bool IsEmpty() const override { return length <= 0; }
    bool IsLocked() const override { return false; }
    int GetLength() const override { return length; }
    int GetStart() const override { return m_start; }
    My::Span GetTrimming() const override { return m_trim; }
    void SetStart(int offset) override
    {
        if (offset == m_start)
            return;
        m_start = offset;
        TimeSpanChange change(this);
        Send(change);
    }
    void SetTrimming(int first, int last) override
    {
        if (My::Span { first, last } == m_trim)
            return;
        m_trim = { first, last };
        TrimmingChange change(this);
        Send(change);
    }

    int length = 0;

private:
    int m_start = 0;
    My::Span m_trim;
};

// A menu item's state as an update handler leaves it.
struct FakeCommandUI : My::CommandUI {
    void Enable(bool on) override { enabled = on; }
    void SetCheck(int c) override { check = c; }
    void SetRadio(bool on) override { radio = on; }
    void SetText(const std::string&) override { }
    bool IsMenuItem() const override { return true; }

    bool enabled = false;
    int check = -1;
    bool radio = false;
};

} // namespace test
