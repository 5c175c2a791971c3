#pragma once

// The segment worker's queue: segments in arrival order, each with the
// engine state and the frames to calculate, taken on the UI thread when the
// segment was queued, so the worker never reads the segment itself.

#include "foundation/numbers/span.h"

#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <list>

class SegmentData;
class TLSegment;

struct ProcessItem {
    TLSegment* segment = nullptr;
    boost::shared_ptr<SegmentData> engine;
    My::Span span;
};

class ProcessQueue {
public:
    using value_type = ProcessItem;

    void push_back(ProcessItem item) { m_items.push_back(std::move(item)); }
    ProcessItem& front() { return m_items.front(); }
    void pop_front() { m_items.pop_front(); }
    bool empty() const { return m_items.empty(); }
    std::size_t size() const { return m_items.size(); }

    // UI thread: tells every queued segment, in queue order, that its
    // processing is done, then empties the queue. Never throws.
    void clear() noexcept;
    // Takes every item out, leaving the queue empty.
    std::list<ProcessItem> take() noexcept;
    // Removes the first item of segment; false when it is not queued.
    bool remove(const TLSegment* segment) noexcept;

private:
    std::list<ProcessItem> m_items;
};
