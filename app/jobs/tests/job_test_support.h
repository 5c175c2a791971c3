#pragma once

// A processed sample project for the job tests: a composition over the
// synthetic scene whose footage claims a path, segments with crisp (and
// optionally smoothed) results, the user's settings in a scratch folder,
// a scripted file dialog and a recorder of message boxes.

#include "document/composition/TLComp.h"
#include "document/segments/SegmentData.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"
#include "engine/frame_record.h"
#include "platform/gui/file_dialog.h"
#include "vortel/tests/support.h"

#include <boost/make_shared.hpp>

#include <functional>
#include <string>

namespace job_testing {

using namespace segment_testing;
using vortel_test::scratch_folder;

class NamedFootage : public SceneFootage {
public:
    NamedFootage(int frames, std::string path)
        : SceneFootage(frames)
        , m_path(std::move(path))
    {
    }
    std::string path() const override { return m_path; }

private:
    std::string m_path;
};

// Answers every file dialog of its lifetime with `act`.
class ScriptedFileDialog {
public:
    explicit ScriptedFileDialog(std::function<int(CFileDialog&)> act)
    {
        CFileDialog::SetResponder(std::move(act));
    }
    ~ScriptedFileDialog() { CFileDialog::SetResponder(nullptr); }
};

// The crisp mask of segment k at frame f: a block that moves with f.
inline img::image<img::bit> MovingMask(int f, int k)
{
    img::image<img::bit> mask(kWidth, kHeight, 4);
    mask.fill(false);
    for (unsigned y = 4 + unsigned(k) * 8; y < 20 + unsigned(k) * 8; ++y)
        for (unsigned x = unsigned(f % 40); x < unsigned(f % 40) + 20; ++x)
            mask.at(x, y) = true;
    return mask;
}

// Gives s a result at frame: MovingMask and, with grey, a grey mask of
// 200 inside the block and 30 outside.
inline void StoreResult(TLSegment& s, int frame, int k, bool grey)
{
    auto& engine = *s.GetEngine();
    const My::Span table = engine.range();
    engine.set_range({ std::min(table.first, frame), std::max(table.last, frame + 1) });
    auto record = boost::make_shared<trm::frame_record>();
    record->bit_mask = MovingMask(frame, k);
    if (grey) {
        img::image<unsigned char> g(img::two_value_view { record->bit_mask, 30, 200 });
        record->grey_mask.encode(g);
    }
    engine.store(frame, record, engine.segmented(), engine.smoothed());
}

struct Project {
    scratch_folder folder;
    vortel_test::scoped_settings_store store { folder };
    PromptScope prompts;
    FakeSegmentHost host;
    TLComp comp;
    boost::shared_ptr<NamedFootage> footage;

    explicit Project(int frames)
        : footage(boost::make_shared<NamedFootage>(frames, folder.file("walk.avi")))
    {
        comp.SetFootage(footage);
        comp.GetSegmentSet().SetHost(&host);
    }
    // A segment over the whole footage with results on [first, last).
    TLSegment* AddSegment(int first, int last, bool grey, int k = 0)
    {
        TLSegment* s = comp.GetSegmentSet().CreateSegment(first);
        s->SetTimeSpan(0, comp.GetFrameCount());
        for (int f = first; f < last; ++f)
            StoreResult(*s, f, k, grey);
        return s;
    }
    // Runs the UI thread's messages until every job has gone.
    bool WaitForJobs()
    {
        return DrainUntil([this] { return comp.GetRunningJobs() == 0; });
    }
};

} // namespace job_testing
