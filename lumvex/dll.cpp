#include "lumvex/dll.h"

#include "lumvex/avi/avi_reader.h"
#include "lumvex/cache/cache_system.h"
#include "lumvex/dialogs/cache_settings_dialog.h"
#include "lumvex/dialogs/open_footage_dialog.h"
#include "lumvex/exception.h"
#include "lumvex/files/image_codec.h"
#include "lumvex/footage/deinterlaced_footage.h"
#include "lumvex/footage/seq_reader.h"
#include "lumvex/footage/still_footage.h"
#include "lumvex/footage/still_image_id.h"
#include "lumvex/path.h"
#include "platform/gui/messages.h"

namespace lumvex {

struct dll::impl {
    cache_system system;
    // The open-footage dialog's filter, made on first use.
    std::string filter;
    // Made on first use; destroyed before the caches it shows.
    std::unique_ptr<cache_settings_dialog> settings_dialog;
};

dll::dll()
    : m_impl(std::make_unique<impl>())
{
}

dll::~dll() = default;

cache& dll::coordinator()
{
    return m_impl->system.coordinator();
}

boost::shared_ptr<footage> dll::create_avi_footage(const std::string& path)
{
    return boost::shared_ptr<footage>(
        new avi_reader(path, &coordinator(), m_impl->system.avi_prefetch_frames(), &m_impl->system.frames()));
}

boost::shared_ptr<footage> dll::create_seq_footage(const std::string& path)
{
    return boost::shared_ptr<footage>(new seq_reader(path, &coordinator()));
}

boost::shared_ptr<footage> dll::create_still_footage(const std::string& path)
{
    return boost::shared_ptr<footage>(new still_footage(path, &coordinator()));
}

boost::shared_ptr<footage> dll::create_footage(const std::string& path)
{
    if (paths::extension_is(path, "avi"))
        return create_avi_footage(path);
    const sequence_filter sequence = seq_reader::parse_file_name(path);
    if (sequence.members.size() == 1)
        return create_still_footage(path);
    return boost::shared_ptr<footage>(new seq_reader(sequence, &coordinator()));
}

namespace {

// The footage of an element; `nested` when the element is a supplier, which
// may not be deinterlaced again (refused before reading deeper, so that no
// depth of nesting recurses far).
boost::shared_ptr<footage> footage_of(
    dll& library, xml::stream& element, const std::string& base_path, bool nested)
{
    const std::string type = element.read<std::string>("type", std::string());
    boost::shared_ptr<footage> made;
    if (type == "avi") {
        made = library.create_avi_footage(std::string());
    } else if (type == "seq") {
        made = library.create_seq_footage(std::string());
    } else if (type == "still") {
        made = library.create_still_footage(std::string());
    } else if (type == "dil") {
        if (nested)
            throw exception("nested deinterlacing is not allowed");
        xml::stream supplier_element = element.child("supplier");
        boost::shared_ptr<footage> supplier = footage_of(library, supplier_element, base_path, true);
        if (!supplier)
            return {};
        made.reset(new deinterlaced_footage(supplier));
    } else {
        return {};
    }
    made->serialize(element, base_path);
    return made;
}

} // namespace

boost::shared_ptr<footage> dll::create_footage(xml::stream& element, const std::string& base_path)
{
    return footage_of(*this, element, base_path, false);
}

boost::shared_ptr<cached_image> dll::get_still_image(const std::string& path)
{
    return m_impl->system.memory().get(boost::shared_ptr<item_id>(new still_image_id(path)), placement::back);
}

xml::stream& operator||(xml::stream& stream, const footage_ptr_capsule& capsule)
{
    if (stream.reading)
        *capsule.target = capsule.library->create_footage(stream, capsule.base_path);
    else if (*capsule.target)
        (*capsule.target)->serialize(stream, capsule.base_path);
    return stream;
}

boost::shared_ptr<footage> dll::create_footage_dialog(bool allow_still, CWnd* parent)
{
    std::string& filter = m_impl->filter;
    if (filter.empty()) {
        const std::string e = img::default_readers().filter();
        filter = "All Supported Formats|*.avi;" + e + "|AVI Video (*.AVI)|*.AVI|Image Sequence (" + e + ")|"
            + e + "|All Files (*.*)|*.*||";
    }
    open_footage_dialog dialog("avi", filter, allow_still, parent);
    dialog.SetTitle("Open Footage");
    if (dialog.DoModal() != IDOK)
        return {};
    const std::string path = dialog.GetPathName();
    if (dialog.load_as_still())
        return create_still_footage(path);
    boost::shared_ptr<footage> made = create_footage(path);
    if (dialog.fields() == deinterlace_fields::off)
        return made;
    return boost::shared_ptr<footage>(new deinterlaced_footage(made, dialog.fields(), dialog.method()));
}

void dll::configure(CWnd* parent)
{
    cache_settings_dialog dialog(m_impl->system, parent);
    dialog.DoModal();
}

void dll::modaless_configure_show(CWnd* parent)
{
    auto& dialog = m_impl->settings_dialog;
    if (!dialog) {
        dialog = std::make_unique<cache_settings_dialog>(m_impl->system, parent);
        dialog->Create(parent);
    } else if (dialog->GetParent() != parent) {
        dialog->SetParent(parent);
    }
    dialog->ShowWindow(SW_SHOW);
}

void dll::modaless_configure_hide()
{
    if (m_impl->settings_dialog)
        m_impl->settings_dialog->ShowWindow(SW_HIDE);
}

} // namespace lumvex
