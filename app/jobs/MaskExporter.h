#pragma once

// The export of the work area's combined masks as BMP files, one per frame,
// named by a numbered pattern. The layers of every frame are collected on
// the UI thread before the job's thread starts; the thread only reads them.
// A frame without layers writes nothing, but its number is used all the
// same, so the numbering follows the work area.
//
// Use: make a CrispMaskExporter or SmoothMaskExporter with new on the UI
// thread and call ExportMasks; the job then owns itself (see Renderer).

#include "app/jobs/Renderer.h"
#include "document/segments/MaskMode.h"
#include "foundation/files/numbered_file_name.h"
#include "foundation/image/image.h"
#include "widgets/dialogs/ProgressDlg.h"

#include <string>
#include <vector>

class CWnd;

class MaskExporter : public Renderer {
public:
    explicit MaskExporter(TLComp& composition, My::MessageQueue* queue = nullptr);
    ~MaskExporter() override;

    // UI thread. Collects the layers of every work-area frame; when some
    // frame has none, asks whether to go on; asks for the file name over
    // `parent`, proposing the footage's file name with a numbered field (a
    // name that would write over a file the composition reads is refused
    // with a message and asked for again); then starts the thread with the
    // progress window shown. A refusal or a cancelled dialog deletes the
    // job before ExportMasks returns, as does an error, which then passes
    // on.
    void ExportMasks(CWnd* parent);

    // The collect option handed to the segment set.
    virtual bool CollectEncoded() const { return false; }
    // Writes the file of work-area frame `index` (job thread); nothing when
    // the frame has no layer. Throws when the file cannot be written.
    virtual void ExportFrame(std::size_t index, const std::string& name) = 0;
    virtual bool ShowGreyscaleOption() const = 0;

    bool IsGreyscale() const { return m_greyscale; }
    void SetGreyscale(bool greyscale) { m_greyscale = greyscale; }
    const std::vector<std::vector<MaskLayer>>& GetFrames() const { return m_frames; }
    // Collects the frames without asking anything (ExportMasks' first step).
    void CollectFrames();
    My::ProgressDlg& GetProgress() { return m_progress; }

protected:
    void run() override;

    bool m_greyscale = false;
    std::vector<std::vector<MaskLayer>> m_frames;
    My::ProgressDlg m_progress;
    NumberedFileName m_names;
};

// The 1-bit masks combined by the segments' modes; written as a 1-bit BMP,
// or as an 8-bit one of 0 and 255 when greyscale.
class CrispMaskExporter : public MaskExporter {
public:
    using MaskExporter::MaskExporter;
    ~CrispMaskExporter() override;
    void ExportFrame(std::size_t index, const std::string& name) override;
    bool ShowGreyscaleOption() const override { return true; }
};

// The smoothed 8-bit masks combined; a layer without a smoothed mask at the
// frame takes part with its crisp mask as 0 and 255. Written as 8-bit BMP.
class SmoothMaskExporter : public MaskExporter {
public:
    using MaskExporter::MaskExporter;
    ~SmoothMaskExporter() override;
    void ExportFrame(std::size_t index, const std::string& name) override;
    bool ShowGreyscaleOption() const override { return false; }
};

// The combined masks of one frame's layers, in combining order (the first
// initialising the result). Empty images for no layers.
img::image<img::bit> CombineCrispMasks(const std::vector<MaskLayer>& layers);
img::image<unsigned char> CombineSmoothMasks(const std::vector<MaskLayer>& layers);

// Writes a mask as an uncompressed BMP file with its colour table (black and
// white; 256 greys), rows bottom-up and 4-byte aligned. Throws
// std::runtime_error naming the file when it cannot be written; an existing
// file is replaced only by a complete one.
void WriteMaskBitmap(const std::string& path, const img::image<img::bit>& mask);
void WriteMaskBitmap(const std::string& path, const img::image<unsigned char>& mask);
