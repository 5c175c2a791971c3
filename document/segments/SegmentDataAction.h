#pragma once

// The undoable changes of a segment's engine state. Each swaps engine states
// held by shared pointers: the old one stays as it was, the new one is a copy
// (records shared) that the change is applied to. Every swap first stops the
// segment's processing, waiting for it, so no calculation runs on a state
// being replaced.

#include "document/history/ActionHistory.h"
#include "engine/param.h"
#include "foundation/image/image.h"

#include <boost/shared_ptr.hpp>

#include <string>

class SegmentData;
class TLSegment;

class SegmentDataAction : public My::Action {
public:
    explicit SegmentDataAction(TLSegment& segment);
    // Installs the old state.
    void Undo() override;
    // Installs the new state, taking the old one and making the new one as
    // its copy when not yet done.
    void Redo() override;

protected:
    TLSegment& m_segment;
    boost::shared_ptr<SegmentData> m_old;
    boost::shared_ptr<SegmentData> m_new;
};

class SegmentMaskAction : public SegmentDataAction {
public:
    // name "Change Mask" when empty.
    SegmentMaskAction(TLSegment& segment, const img::image<img::bit>& mask, std::string name);
    // Sets the key mask on the new state, which drops its results. Fails,
    // before anything is stopped or swapped, when the mask has the current
    // key mask's pixels.
    bool Do() override;
    std::string GetName() const override;

private:
    img::image<img::bit> m_mask;
    std::string m_name;
};

class SegmentParamsAction : public SegmentDataAction {
public:
    SegmentParamsAction(TLSegment& segment, const trm::param& params);
    // Fails, before anything is stopped or swapped, when the validated
    // parameters equal the current ones.
    bool Do() override;
    std::string GetName() const override;

private:
    trm::param m_params;
};

class SegmentTrimAction : public My::Action {
public:
    explicit SegmentTrimAction(TLSegment& segment);
    // Installs a copy of the old state trimmed to the data span inside the
    // time span; fails when no result lies outside the time span.
    bool Do() override;
    void Undo() override;
    std::string GetName() const override;

private:
    TLSegment& m_segment;
    boost::shared_ptr<SegmentData> m_old;
};
