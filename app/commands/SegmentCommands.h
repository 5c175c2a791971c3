#pragma once

// The commands of the selected segment: process, cancel and moving its ends
// to the current frame. The segment and the sequence are reached through two
// virtual accessors only, so the commands work on the abstract interfaces.
// UI thread only.

#include "widgets/core/CommandMap.h"

#include <cstdint>

namespace My {

class Segment;
class Sequence;

class SegmentCommands : public CommandTarget {
public:
    static constexpr std::uint32_t kProcess = 50046;
    static constexpr std::uint32_t kCancel = 50047;
    static constexpr std::uint32_t kSetBackEnd = 50056;
    static constexpr std::uint32_t kSetFrontEnd = 50057;

    SegmentCommands();
    virtual ~SegmentCommands() = default;
    SegmentCommands(const SegmentCommands&) = delete;
    SegmentCommands& operator=(const SegmentCommands&) = delete;

    // May be null: no command of this map is then handled.
    virtual Segment* GetSegment() const = 0;
    virtual Sequence* GetSequence() const = 0;

    bool RouteCommand(CommandEventBase& event) override;

private:
    CommandMap m_commands;
};

} // namespace My
