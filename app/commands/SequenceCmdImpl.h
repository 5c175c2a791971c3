#pragma once

// The composition's own work-area commands: the work area begins or ends at
// the current frame. The sequence is reached through one virtual accessor.
// UI thread only.

#include "widgets/core/CommandMap.h"

#include <cstdint>

namespace My {
class Sequence;
}

class SequenceCmdImpl : public My::CommandTarget {
public:
    static constexpr std::uint32_t kBeginWorkArea = 50050;
    static constexpr std::uint32_t kEndWorkArea = 50051;

    SequenceCmdImpl();
    virtual ~SequenceCmdImpl() = default;
    SequenceCmdImpl(const SequenceCmdImpl&) = delete;
    SequenceCmdImpl& operator=(const SequenceCmdImpl&) = delete;

    virtual My::Sequence* GetSequence() const = 0;

    bool RouteCommand(My::CommandEventBase& event) override;

private:
    My::CommandMap m_commands;
};
