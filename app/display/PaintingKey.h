#pragma once

// The complete name of a frame as the user sees it or a render job writes
// it: the display style, the segments' mask layers of the frame, the
// footage and its frame, and the background and its frame. Painted frames
// live in the image cache under their keys and are found again by equality
// (never by text, never on disc).
//
// A key is immutable once built and held by boost::shared_ptr, so the
// painter and render threads read it without locks; Fetch and Paint may run
// on several threads at once (the footage and the cache lock themselves).

#include "app/display/DisplayStyle.h"
#include "document/segments/MaskMode.h"
#include "foundation/numbers/extent.h"
#include "lumvex/cache/cache.h"

#include <boost/shared_ptr.hpp>

#include <vector>

namespace lumvex {
class footage;
}

class PaintingKey final : public lumvex::item_id {
public:
    // Type Mask Only, both flags clear, colour 0, no layers, no footage.
    PaintingKey();
    // `layers` in combining order (base first). `background` and
    // `background_frame` matter only to Background Only and Composition.
    // The frame size (part of every type's equality) is the footage's now.
    PaintingKey(const DisplayStyle& style, std::vector<MaskLayer> layers,
        boost::shared_ptr<lumvex::footage> footage, int frame,
        boost::shared_ptr<lumvex::footage> background = {}, int background_frame = -1);
    ~PaintingKey() override;

    const DisplayStyle& GetStyle() const { return m_style; }
    const std::vector<MaskLayer>& GetLayers() const { return m_layers; }
    const boost::shared_ptr<lumvex::footage>& GetFootage() const { return m_footage; }
    int GetFrame() const { return m_frame; }
    const boost::shared_ptr<lumvex::footage>& GetBackground() const { return m_background; }
    int GetBackgroundFrame() const { return m_backgroundFrame; }
    types::extent<unsigned> GetFrameSize() const { return m_frameSize; }

    // lumvex::item_id. Foreground Only (Background Only) keys also equal the
    // footage's (background's) own item id of their frame. Otherwise equal
    // to a PaintingKey of the same frame size and equal style that has, as
    // the type needs, the same footage object and frame with an equal own
    // item id of that frame (taken when the key was built), the same
    // background object and frame likewise, and pairwise the same frame
    // records (object identity) with the same modes.
    bool equals(const lumvex::item_id& other) const override;
    // Empty: painted frames have no disc-cache file.
    std::string key() const override;
    // Writes nothing.
    void describe(std::ostream& out) const override;
    bool can_produce() const override { return true; }
    // Paint with request 0.
    void produce(img::image<img::BGRA<unsigned char>>& target) const override;
    bool threaded() const override { return false; }
    void request() const override { }
    bool disc_cacheable() const override { return false; }

    // The painted frame of `key` from `cache` (the process-wide coordinator),
    // moved to the back of the eviction order; on a miss, Foreground Only and
    // Background Only return the footage's (background's) own frame, waiting
    // for it, and the other types paint a new entry, put into the cache
    // (placement back) only when `store`. `request` is the footage's reading
    // hint (lumvex::frame_request bits). Throws std::invalid_argument for an
    // empty key; footage, decoding and allocation errors pass on.
    static boost::shared_ptr<lumvex::cached_image> Fetch(
        lumvex::cache& cache, const boost::shared_ptr<PaintingKey>& key, int request, bool store);

    // What the view shows in place of a frame that cannot be fetched (its
    // file damaged or gone): an opaque black picture of the key's frame
    // size, under the key. Not put into the cache, so that the frame is read
    // again once asked for anew.
    static boost::shared_ptr<lumvex::cached_image> Unreadable(const boost::shared_ptr<PaintingKey>& key);

    // Paints the key into out, resizing it: Mask Only at the frame size
    // without reading the footage; the other types from the footage frame
    // (asked for without waiting first, then after the background, with
    // waiting). Throws std::logic_error when the key lacks the footage its
    // type needs; footage, decoding and allocation errors pass on.
    void Paint(img::image<img::BGRA<unsigned char>>& out, int request) const;

private:
    DisplayStyle m_style;
    std::vector<MaskLayer> m_layers;
    boost::shared_ptr<lumvex::footage> m_footage;
    int m_frame = 0;
    boost::shared_ptr<lumvex::footage> m_background;
    int m_backgroundFrame = 0;
    types::extent<unsigned> m_frameSize;
    // The footage's (background's) own key of the frame, where the type
    // shows it; compared too, since it changes with the footage's field order.
    boost::shared_ptr<lumvex::item_id> m_footageId;
    boost::shared_ptr<lumvex::item_id> m_backgroundId;
    // Foreground Only and Background Only: the item id of the frame shown.
    boost::shared_ptr<lumvex::item_id> m_shownId;
};
