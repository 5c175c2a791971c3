#pragma once

// Fakes and footage for the tests of segments, the segment set, the
// background and the segment worker: a prompt that records its questions, a
// window layer that records what segments tell it, and footage of the
// engine's synthetic scene, optionally holding the worker at one frame.

#include "document/composition/TLComp.h"
#include "document/segments/SegmentHost.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/prompt_test_support.h"
#include "engine/tests/memory_footage.h"
#include "engine/tests/synthetic_scene.h"
#include "platform/kernel/wait.h"
#include "widgets/core/Message.h"

#include <boost/make_shared.hpp>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace segment_testing {

using prompt_testing::FakePrompt;
using prompt_testing::PromptScope;

struct FakeSegmentHost : SegmentHost {
    std::vector<TLSegment*> targets;
    int reloads = 0;
    int refreshes = 0;
    std::vector<int> progressFrames;
    std::vector<TLSegment*> processed;
    int requested = 0;
    std::string file;
    std::vector<bool> cancelling;
    int waits = 0;
    // Called when the notice "Cancelling segment processing..." is shown.
    std::function<void()> onCancelling;

    void OnEditTargetChange(TLSegment* segment) override { targets.push_back(segment); }
    void ReloadMask(TLSegment&) override { ++reloads; }
    void RefreshSegment(TLSegment&) override { ++refreshes; }
    void OnSegmentProgress(TLSegment&, int frame) override { progressFrames.push_back(frame); }
    void OnSegmentProcessed(TLSegment& segment) override { processed.push_back(&segment); }
    void OnProcessingRequested(TLSegment&) override { ++requested; }
    std::string ChooseKeyMaskFile(bool) override { return file; }
    void ShowCancelling(bool show) override
    {
        cancelling.push_back(show);
        if (show && onCancelling)
            onCancelling();
    }
    void WaitDispatching(platform::waitable& posted) override
    {
        ++waits;
        posted.wait();
    }
};

constexpr unsigned kWidth = 64;
constexpr unsigned kHeight = 48;

// The object of frame k, moving right and down by one pixel a frame.
inline trm::testing::synthetic_scene Scene(int k)
{
    return trm::testing::make_scene(
        kWidth, kHeight, trm::testing::turn_and_shift(kWidth, kHeight, 0.0, k, 0.5 * k));
}

// The synthetic scene's frames; the worker can be held when it first asks
// for one frame (the gate) until the test releases it.
class SceneFootage : public trm::testing::memory_footage {
public:
    explicit SceneFootage(int frames, int odd_frame = -1)
        : memory_footage(Frames(frames, odd_frame))
    {
    }

    boost::shared_ptr<lumvex::cached_image> frame(int frame, int, bool) override
    {
        std::unique_lock lock(m_mutex);
        if (frame == m_gate && !m_released) {
            m_reached = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_released; });
        }
        return cached_frame(frame);
    }

    void SetGate(int frame)
    {
        std::lock_guard lock(m_mutex);
        m_gate = frame;
        m_released = false;
        m_reached = false;
    }
    // True when the worker reached the gate within the time.
    bool WaitReached(std::chrono::seconds limit = std::chrono::seconds(30))
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [this] { return m_reached; });
    }
    void Release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    static std::vector<img::image<img::BGRA<unsigned char>>> Frames(int frames, int odd_frame)
    {
        std::vector<img::image<img::BGRA<unsigned char>>> images;
        for (int k = 0; k < frames; ++k)
            images.push_back(
                k == odd_frame ? trm::testing::make_scene(kWidth + 2, kHeight).frame : Scene(k).frame);
        return images;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_gate = -1;
    bool m_released = true;
    bool m_reached = false;
};

// A composition over `frames` frames of the scene, its segment set on the
// fake host, with the fake prompt installed.
struct SegmentDoc {
    PromptScope prompts;
    FakeSegmentHost host;
    TLComp comp;
    explicit SegmentDoc(int frames = 40)
    {
        comp.SetFootage(boost::make_shared<SceneFootage>(frames));
        Set().SetHost(&host);
    }
    TLSegmentSet& Set() { return comp.GetSegmentSet(); }
};

// Runs the UI thread's messages until done() holds or the time is up; true
// when done() held.
inline bool DrainUntil(
    const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(60))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        My::GetMessageQueue().RunPending();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        My::GetMessageQueue().GetPostedEvent().wait(10);
    }
}

// An all-clear mask with a block set: usable as a key mask.
inline img::image<img::bit> BlockMask(unsigned width = kWidth, unsigned height = kHeight)
{
    img::image<img::bit> mask(width, height, 4);
    mask.fill(false);
    for (unsigned y = height / 4; y < height / 2; ++y)
        for (unsigned x = width / 4; x < width / 2; ++x)
            mask.at(x, y) = true;
    return mask;
}

} // namespace segment_testing
