#pragma once

// The library object through which the program uses footage and the image
// cache: it builds the cache system from the user's settings when it is
// made, hands out the cache coordinator, makes footage from a path or from
// its XML element, and loads still images through the memory cache. The
// program keeps one for as long as it runs and calls it on the UI thread;
// the caches it hands out may be used from any thread.
//
// Footage made here reads through the coordinator, which must outlive it:
// drop every footage before the library object.

#include "foundation/xml/xml_stream.h"
#include "lumvex/cache/cache.h"
#include "lumvex/export.h"
#include "lumvex/footage/footage.h"

#include <boost/shared_ptr.hpp>

#include <memory>
#include <string>

class CWnd;

namespace lumvex {

class LUMVEX_API dll {
public:
    // Builds the cache system; settings that cannot be read take their
    // defaults.
    dll();
    // Tears the cache system down (the memory cache first).
    ~dll();
    dll(const dll&) = delete;
    dll& operator=(const dll&) = delete;

    // The process-wide cache: memory in front of disc.
    cache& coordinator();

    // Footage of each kind on `path`, reading through the coordinator. The
    // kinds' opening errors pass on.
    boost::shared_ptr<footage> create_avi_footage(const std::string& path);
    boost::shared_ptr<footage> create_seq_footage(const std::string& path);
    boost::shared_ptr<footage> create_still_footage(const std::string& path);

    // The footage a file stands for: an AVI file by its extension ("avi" in
    // any case), else the image sequence the file belongs to, or a still
    // footage when the sequence has the one file.
    boost::shared_ptr<footage> create_footage(const std::string& path);

    // The footage of an XML element (its "type" chooses the kind; "dil"
    // wraps the footage of its child "supplier"), which then reads its own
    // attributes with paths relative to `base_path`. An empty pointer when
    // the type is missing, empty or unknown, or a "dil" element has no
    // usable supplier; the kinds' reading and opening errors pass on.
    boost::shared_ptr<footage> create_footage(xml::stream& element, const std::string& base_path);

    // The "Open Footage" dialog owned by `parent`'s window: the footage of
    // the chosen file (a still footage when asked for and `allow_still`),
    // deinterlaced as chosen; empty when the user cancels. The kinds'
    // opening errors pass on.
    boost::shared_ptr<footage> create_footage_dialog(bool allow_still, CWnd* parent);

    // The "Cache Settings" dialog, modal, owned by `parent`'s window.
    void configure(CWnd* parent);
    // Shows the one modeless "Cache Settings" dialog (made on first use),
    // owned by `parent`'s window; hides it.
    void modaless_configure_show(CWnd* parent);
    void modaless_configure_hide();

    // The image file through the memory cache (placement back): asked twice,
    // the file is read once while the image stays cached.
    boost::shared_ptr<cached_image> get_still_image(const std::string& path);

private:
    struct impl;
    std::unique_ptr<impl> m_impl;
};

// What the project file serialises a footage through: the library that
// makes footage, the pointer read or written, and the folder (the project
// file's) that stored paths are relative to.
struct footage_ptr_capsule {
    dll* library;
    boost::shared_ptr<footage>* target;
    std::string base_path;
};

// Writing: the target footage writes itself onto the stream's element
// (nothing for an empty target). Reading: the target becomes the footage the
// library makes from the element (empty for an element that names none).
LUMVEX_API xml::stream& operator||(xml::stream& stream, const footage_ptr_capsule& capsule);

} // namespace lumvex
