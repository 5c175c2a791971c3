#pragma once

// A render of the composition's work area: every frame, painted under the
// key the caller names for it (the view's display style), goes to the
// render library's writer on the job's thread, one frame per step of a
// modeless progress window whose Cancel is honoured between frames.
//
// Use: make it with new on the UI thread and call Start; from then on the
// job owns itself and is deleted on the UI thread when it ends (or at once
// inside Start when no output was opened). Every frame is written at the
// composition's frame size: a painted frame of another size fails the
// render, naming the frame and both sizes.

#include "app/jobs/Renderer.h"
#include "foundation/numbers/extent.h"
#include "foundation/numbers/fraction.h"
#include "widgets/dialogs/ProgressDlg.h"

#include <boost/shared_ptr.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CWnd;
class PaintingKey;
class TLSegment;
struct DisplayStyle;

namespace lumvex {
class cache;
}

namespace vortel {
class settings;
class writer;
} // namespace vortel

class ImageRenderer : public Renderer {
public:
    // The painting key of a composition frame as the render shows it.
    using KeyMaker = std::function<boost::shared_ptr<PaintingKey>(int frame)>;
    // Asks the user for the output and opens it (vortel::settings'
    // open_writer): frame size, rate, suggested path, title, parent, and the
    // files the output must not write over.
    using WriterOpener = std::function<std::unique_ptr<vortel::writer>(const types::extent<unsigned>&,
        fraction, const std::string&, const std::string&, CWnd*, const std::vector<std::string>&)>;

    // `cache`: where painted frames are looked for (never stored into); it
    // must outlive the job.
    ImageRenderer(
        TLComp& composition, lumvex::cache& cache, KeyMaker keys, My::MessageQueue* queue = nullptr);
    // Waits for a started thread, then closes the output and the progress
    // window. An output the run did not finish (a failed render, or one
    // whose thread did not start) is discarded: a file it was to replace
    // stays as it was. A cancelled render keeps the frames written.
    ~ImageRenderer() override;

    // UI thread. Collects one key per work-area frame, asks `settings` for
    // the output (its file dialog and messages run now, over `parent`,
    // proposing the footage's path; no output may write over a file the
    // composition reads) and starts the thread with the progress
    // window shown. When no output is opened, or opening or starting throws,
    // the job is deleted before Start returns (errors then pass on).
    void Start(vortel::settings& settings, CWnd* parent);
    void Start(const WriterOpener& open, CWnd* parent);

    const std::vector<boost::shared_ptr<PaintingKey>>& GetFrames() const { return m_frames; }
    My::ProgressDlg& GetProgress() { return m_progress; }

protected:
    void run() override;

private:
    lumvex::cache& m_cache;
    KeyMaker m_keys;
    My::ProgressDlg m_progress;
    std::unique_ptr<vortel::writer> m_writer;
    std::vector<boost::shared_ptr<PaintingKey>> m_frames;
    // The composition's first work-area frame and frame size when the render started.
    int m_first = 0;
    types::extent<unsigned> m_size;
};

// The keys of a render of `composition` in `style`: the frames as the view
// shows them with that style (the followed segment, else the selected one,
// else all segments by position), never the mask editor's footage-only
// view, so a render started while a key mask is edited shows the masks.
ImageRenderer::KeyMaker RenderKeys(
    const TLComp& composition, const DisplayStyle& style, TLSegment* followed = nullptr);
