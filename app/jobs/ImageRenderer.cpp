#include "app/jobs/ImageRenderer.h"

#include "app/display/PaintingKey.h"
#include "app/display/PaintingSource.h"
#include "document/composition/TLComp.h"
#include "document/project/FootageFiles.h"
#include "foundation/system/exception.h"
#include "lumvex/footage/footage.h"
#include "lumvex/path.h"
#include "vortel/settings.h"
#include "vortel/writer.h"

#include <string>

namespace {

std::string SizeText(unsigned width, unsigned height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

} // namespace

ImageRenderer::ImageRenderer(
    TLComp& composition, lumvex::cache& cache, KeyMaker keys, My::MessageQueue* queue)
    : Renderer(composition, queue)
    , m_cache(cache)
    , m_keys(std::move(keys))
{
}

ImageRenderer::~ImageRenderer()
{
    join();
    m_frames.clear();
    // An output the run did not finish belongs to a failed render (or to
    // one that never started): the file it was to replace stays.
    if (m_writer)
        m_writer->discard();
    m_writer.reset();
}

void ImageRenderer::Start(vortel::settings& settings, CWnd* parent)
{
    Start(
        [&settings](const types::extent<unsigned>& size, fraction rate, const std::string& path,
            const std::string& title, CWnd* owner, const std::vector<std::string>& kept) {
            return settings.open_writer(size, rate, path, title, owner, kept);
        },
        parent);
}

void ImageRenderer::Start(const WriterOpener& open, CWnd* parent)
{
    std::unique_ptr<ImageRenderer> self(this);
    TLComp& composition = GetComposition();
    const My::Span area = composition.GetWorkArea();
    m_frames.reserve(area.last > area.first ? std::size_t(area.last - area.first) : 0);
    for (int f = area.first; f < area.last; ++f)
        m_frames.push_back(m_keys(f));
    m_first = area.first;
    m_size = composition.GetFrameSize();
    const auto& footage = composition.GetFootage();
    // The output never writes over what the composition reads.
    m_writer = open(m_size, composition.GetExportFramerate(),
        footage ? paths::native(footage->path()) : std::string(), std::string(), parent,
        FootageFiles(composition));
    if (!m_writer)
        return;
    m_progress.Create(parent, false);
    m_progress.Start(int(m_frames.size()), 0);
    StartThread();
    self.release();
}

void ImageRenderer::run()
{
    const int count = int(m_frames.size());
    try {
        for (int i = m_progress.GetPosition(); i < count; i = m_progress.GetPosition()) {
            // The hint lets the footage read ahead while this frame is written.
            const auto painted
                = PaintingKey::Fetch(m_cache, m_frames[std::size_t(i)], i + 1 < count ? 2 : 0, false);
            const img::image<img::BGRA<unsigned char>>& frame = painted->image;
            if (frame.width != m_size.width || frame.height != m_size.height)
                throw xtd::exception("Frame " + std::to_string(m_first + i) + " is "
                    + SizeText(frame.width, frame.height) + " pixels, but the render is "
                    + SizeText(m_size.width, m_size.height) + " pixels.");
            m_writer->write(frame);
            if (!m_progress.Step()) {
                // The user's choice: what was written so far is kept.
                PostNotice("Rendering interrupted by user.");
                break;
            }
        }
        // An output that cannot be completed is a failed render (the
        // thread's error report tells it), not a finished one.
        m_writer->finish();
    } catch (...) {
        // A failed render must not pass off its part as the whole: the file
        // it was to replace stays as it was.
        m_writer->discard();
        throw;
    }
    PostDelete();
}

ImageRenderer::KeyMaker RenderKeys(const TLComp& composition, const DisplayStyle& style, TLSegment* followed)
{
    PaintingSource source;
    source.composition = &composition;
    source.style = style;
    source.editingMask = false;
    source.following = followed != nullptr;
    source.progressSegment = followed;
    return [source](int frame) { return MakePaintingKey(source, frame); };
}
