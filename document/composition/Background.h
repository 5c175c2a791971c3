#pragma once

// The composition's background layer: a second footage shown behind the
// object, placed at a start offset on the composition's timeline and trimmed
// to a span of its own frames. Empty while it holds no footage. Loading it is
// not undoable; it only marks the document modified. UI thread only; the
// painter reads the footage through its shared pointer.

#include "document/composition/CompositionMember.h"
#include "document/composition/Layer.h"
#include "foundation/numbers/extent.h"

#include <boost/shared_ptr.hpp>

#include <string>

namespace lumvex {
class dll;
class footage;
} // namespace lumvex

namespace xml {
class stream;
}

class TLComp;

class Background : public My::Layer, public CompositionMember {
public:
    explicit Background(TLComp* composition);

    // My::Layer
    bool IsEmpty() const override;
    // Always false.
    bool IsLocked() const override;
    // The footage's frame count; a still image (one frame) lasts as long as
    // the composition; 0 when empty.
    int GetLength() const override;
    int GetStart() const override { return m_start; }
    My::Span GetTrimming() const override { return m_trimming; }
    void SetStart(int offset) override;
    // Ignored when first > last; unless the footage is a still image, both
    // ends are clamped into its frames.
    void SetTrimming(int first, int last) override;

    // Asks the composition's host for a footage (stills allowed) and installs
    // it when its frame size is frame_size; another size is refused with a
    // notice and the layer keeps what it had. False when nothing was
    // installed.
    bool Load(types::extent<unsigned> frame_size);
    // Installs footage (the project file's reading).
    void SetFootage(boost::shared_ptr<lumvex::footage> footage);
    // Drops the footage; start and trimming go back to 0 and {0, 0}.
    void Clear() override;

    // The project file's "Background" element (written by the caller only
    // while the layer holds a footage): "Footage" with paths relative to
    // `base`, "SourceOffset" when not 0, and "Trimming". Reading a null or
    // footage-less element clears the layer; a trimming {x, x} becomes the
    // whole footage. Reading needs `library`. `missing` (reading only, may
    // be null) stands for a footage whose file was not found: it is
    // installed in place of the "Footage" element, lasts up to the end of
    // the trimming (a still image one frame) and keeps the trimming as
    // stored.
    void Serialize(xml::stream& stream, lumvex::dll* library, const std::string& base,
        const boost::shared_ptr<lumvex::footage>& missing = {});

    const boost::shared_ptr<lumvex::footage>& GetFootage() const { return m_footage; }
    // The layer's own frame shown at composition frame F, or -1 when the
    // layer shows nothing there.
    int GetFootageFrame(int frame) const;

private:
    bool IsStill() const;
    void SendStateChange();

    TLComp* m_composition;
    boost::shared_ptr<lumvex::footage> m_footage;
    int m_start = 0;
    My::Span m_trimming;
};
