#pragma once

// The commands of a segment set: jumping to the selected segment's ends,
// moving the selection up and down, and switching the selected segment
// between key-mask editing and preview. The selection is the owning
// document's, a My::SegmentSelection. UI thread only.

#include "widgets/core/CommandMap.h"

#include <cstdint>

namespace My {

class Doc;
class Segment;
class SegmentSet;
class Sequence;

class SegmentSetCmdImpl : public CommandTarget {
public:
    static constexpr std::uint32_t kSegmentBackEnd = 50039;
    static constexpr std::uint32_t kSegmentFrontEnd = 50040;
    static constexpr std::uint32_t kActivateBelow = 50041;
    static constexpr std::uint32_t kActivateAbove = 50042;
    static constexpr std::uint32_t kDeactivate = 50058;
    static constexpr std::uint32_t kPreview = 50059;
    static constexpr std::uint32_t kEditMask = 50060;

    SegmentSetCmdImpl();
    virtual ~SegmentSetCmdImpl() = default;
    SegmentSetCmdImpl(const SegmentSetCmdImpl&) = delete;
    SegmentSetCmdImpl& operator=(const SegmentSetCmdImpl&) = delete;

    virtual Sequence* GetSequence() const = 0;
    virtual SegmentSet* GetSegmentSet() const = 0;
    // The document whose selection names the segment: the set's owner.
    virtual Doc* GetDocument() const;

    // The index of the document's selection when it is a segment selection,
    // else -1.
    int GetSelectedIndex() const;
    // The selected segment, or null.
    Segment* GetSelectedSegment() const;
    // A new segment selection with index k (clamped) becomes the document's.
    void SelectSegment(int k);

    bool RouteCommand(CommandEventBase& event) override;

private:
    CommandMap m_commands;
};

} // namespace My
