// The project file: the composition's own element and the load and store
// flow. The members' elements are in ProjectFile.cpp.

#include "document/composition/Background.h"
#include "document/composition/TLComp.h"
#include "document/project/FootageLookup.h"
#include "document/project/FramerateText.h"
#include "document/project/MissingFootage.h"
#include "document/segments/TLSegmentSet.h"
#include "foundation/files/image_error.h"
#include "foundation/system/exception.h"
#include "foundation/xml/xml_stream.h"
#include "lumvex/dll.h"
#include "lumvex/path.h"
#include "widgets/core/Prompt.h"
#include "xmldoc/sarnel.h"

#include <algorithm>
#include <limits>
#include <list>
#include <memory>
#include <optional>

namespace {

// The folder of the project file, ending in a separator.
std::string ProjectFolder(const std::string& path)
{
    return paths::parent_directory(paths::full_path(path.c_str()));
}

// Frees the document's child iterators.
struct Children {
    Children(xml::sarnel& doc, xml::handle h, const std::string& tag)
        : it(tag.empty() ? doc.children(h) : doc.named_children(h, tag))
    {
        it->first();
    }
    std::unique_ptr<xml::child_iterator> it;
};

xml::handle FirstChild(xml::sarnel& doc, xml::handle h, const std::string& tag)
{
    if (!h)
        return nullptr;
    Children children(doc, h, tag);
    return children.it->at_end() ? nullptr : children.it->get();
}

bool IsFileAttribute(const std::string& name)
{
    return name == "path" || name == "filter";
}

// A work area whose end is the largest frame number runs to the footage's
// end, whatever its length: loading clamps it there. It is written for an
// end left at the end of a footage whose length is not known (a missing
// one).
constexpr int kOpenEnd = std::numeric_limits<int>::max();

// Looks up the files of a footage element and its suppliers. A file found
// under another case or separator is written back into the element, so the
// footage opens it; the first one not found at all is returned as the
// absolute path looked for, in the system's form.
std::string ResolveFootage(xml::sarnel& doc, xml::handle h, const std::string& base)
{
    std::string missing;
    for (const char* attribute : { "path", "filter" }) {
        std::string stored;
        if (!doc.get_attribute(h, attribute, stored))
            continue;
        const std::string found = FindFootageFile(stored, base, std::string(attribute) == "filter");
        if (found.empty()) {
            if (missing.empty())
                missing = paths::native(paths::absolute_path(stored, base));
        } else if (found != paths::native(paths::absolute_path(stored, base))) {
            doc.set_attribute(h, attribute, found);
        }
    }
    Children children(doc, h, std::string());
    for (; !children.it->at_end(); children.it->next()) {
        const std::string inner = ResolveFootage(doc, children.it->get(), base);
        if (missing.empty())
            missing = inner;
    }
    return missing;
}

// A copy of an element, its file attributes made absolute against base.
MissingFootage::Element CopyElement(xml::sarnel& doc, xml::handle h, const std::string& base)
{
    MissingFootage::Element element;
    element.name = doc.name(h);
    std::unique_ptr<xml::attribute_iterator> attributes(doc.attributes(h));
    for (attributes->first(); !attributes->at_end(); attributes->next()) {
        const std::string name = attributes->get();
        std::string value;
        doc.get_attribute(h, name, value);
        element.attributes.emplace_back(
            name, IsFileAttribute(name) ? paths::absolute_path(value, base) : value);
    }
    Children children(doc, h, std::string());
    for (; !children.it->at_end(); children.it->next())
        element.children.push_back(CopyElement(doc, children.it->get(), base));
    return element;
}

// The length a project implies for a footage that is missing: enough for
// its work area, its current frame and every segment's time span, key frame
// and stored results, so that nothing the project holds is cut off. Every
// value is read with a default here: the project's own reading, which
// follows, refuses required ones that are missing or no number.
int ImpliedFrameCount(xml::stream& root)
{
    long long count = 1;
    xml::stream area = root.child("WorkArea");
    const int last = area.read<int>("Last", 0);
    // An open end asks for no length of its own, only for a frame at the
    // start.
    if (last == kOpenEnd)
        count = std::max<long long>(count, static_cast<long long>(area.read<int>("First", 0)) + 1);
    else
        count = std::max<long long>(count, last);
    count = std::max<long long>(count, static_cast<long long>(root.read<int>("CurrentFrame", 0)) + 1);
    std::list<xml::node> segments;
    root.collect(xml::filter("Segment"), segments);
    for (const xml::node& node : segments) {
        xml::stream segment(node, true);
        xml::stream span = segment.child("TimeSpan");
        count = std::max<long long>(count, span.read<int>("Last", 0));
        count = std::max<long long>(count, static_cast<long long>(segment.read<int>("origin", 0)) + 1);
        // The engine's records run from "first_data", one "twomasks" child
        // a frame.
        const long long first = segment.read<int>("first_data", -1);
        if (first >= 0) {
            std::list<xml::node> records;
            segment.select(records, "twomasks");
            count = std::max<long long>(count, first + static_cast<long long>(records.size()));
        }
    }
    return static_cast<int>(std::min<long long>(count, 1 << 24));
}

// The work area to write over a missing footage, whose length is only what
// the project implied: an end that is where it was opened goes back as the
// file held it (one the file left to the footage's end stays there), an end
// the user moved is written as moved. None when the file held none and
// neither end moved.
std::optional<My::Span> KeptWorkArea(
    const My::Span& now, const My::Span& opened, bool written, const My::Span& stored)
{
    if (now == opened)
        return written ? std::optional<My::Span>(stored) : std::nullopt;
    const My::Span held = written ? stored : My::Span { 0, kOpenEnd };
    return My::Span { now.first == opened.first ? held.first : now.first,
        now.last == opened.last ? held.last : now.last };
}

// Rethrows the exception being handled, named after the project file when
// the file's text caused it and it does not name a file yet: the document
// library's errors and those of images stored in the file.
[[noreturn]] void NameProjectFile(const std::string& path)
{
    try {
        throw;
    } catch (xml::exception& error) {
        if (error.file().empty())
            error.set_file(path);
        throw;
    } catch (img::io_error& error) {
        if (error.subject().empty())
            error.set_subject(path);
        throw;
    }
}

} // namespace

void TLComp::Store(const std::string& path)
{
    xml::sarnel document;
    document.create("Tavelo");
    xml::stream root(document.root(), false);
    Serialize(root, path);
    document.write(path);
}

void TLComp::Load(const std::string& path, int)
{
    // Loading fills a closed composition; one still open is closed first, so
    // nothing of it mixes with the project read.
    if (!m_empty)
        Close();
    try {
        if (!m_library)
            throw xtd::exception("Cannot read project file '" + path + "': footage cannot be opened here.");
        xml::sarnel document;
        document.read(path);
        const std::string base = ProjectFolder(path);
        const xml::handle root = document.root_handle();

        std::string missing;
        if (const xml::handle footage = FirstChild(document, root, "Footage")) {
            missing = ResolveFootage(document, footage, base);
            if (!missing.empty())
                m_missingFootage = boost::shared_ptr<lumvex::footage>(
                    new MissingFootage(CopyElement(document, footage, base), missing));
        }
        std::string missingBackground;
        if (const xml::handle background = FirstChild(document, root, "Background"))
            if (const xml::handle footage = FirstChild(document, background, "Footage")) {
                missingBackground = ResolveFootage(document, footage, base);
                // The layer keeps its place and trimming over black frames.
                if (!missingBackground.empty())
                    m_missingBackground = boost::shared_ptr<lumvex::footage>(
                        new MissingFootage(CopyElement(document, footage, base), missingBackground));
            }

        xml::stream stream(document.root(), true);
        Serialize(stream, path);
        m_missingFootage.reset();
        m_missingBackground.reset();
        for (const std::string& file : { missing, missingBackground })
            if (!file.empty())
                My::MessageBox(
                    "The footage file '" + file + "' was not found.\nThe project opens without it.",
                    My::MB_ICONEXCLAMATION);
    } catch (...) {
        // Nothing of a half-read project survives.
        m_missingFootage.reset();
        m_missingBackground.reset();
        Close();
        NameProjectFile(path);
    }
}

void TLComp::Serialize(xml::stream& stream, const std::string& path)
{
    const std::string base = ProjectFolder(path);
    if (stream.reading)
        ReadProject(stream, base);
    else
        WriteProject(stream, base);
}

void TLComp::WriteProject(xml::stream& stream, const std::string& base)
{
    xml::stream footage = stream.child("Footage");
    footage || lumvex::footage_ptr_capsule { m_library, &m_footage, base };
    const int count = GetFrameCount();
    std::optional<My::Span> written;
    if (m_storedWorkArea)
        written = KeptWorkArea(
            m_workArea, m_storedWorkArea->opened, m_storedWorkArea->written, m_storedWorkArea->stored);
    else if (m_workArea != My::Span { 0, count })
        written = m_workArea;
    if (written) {
        xml::stream area = stream.child("WorkArea");
        area || *written;
    }
    stream.write("CurrentFrame", m_currentFrame);
    stream.write("ExportFramerate", FramerateText(ValidExportFramerate(m_exportFramerate)));
    stream.write("ExportInaccuracy", m_exportInaccuracy);
    m_segments->Serialize(stream);
    if (!m_background->IsEmpty()) {
        xml::stream background = stream.child("Background");
        m_background->Serialize(background, m_library, base);
    }
}

void TLComp::ReadProject(xml::stream& stream, const std::string& base)
{
    if (m_missingFootage) {
        static_cast<MissingFootage&>(*m_missingFootage).SetFrameCount(ImpliedFrameCount(stream));
        m_footage = m_missingFootage;
    } else {
        xml::stream footage = stream.child("Footage");
        footage || lumvex::footage_ptr_capsule { m_library, &m_footage, base };
    }
    if (!m_footage || m_footage->frame_count() <= 0)
        throw xtd::exception("The project names no footage that can be opened.");
    const int count = GetFrameCount();

    xml::stream area = stream.child("WorkArea");
    My::Span work { 0, count };
    if (!area.is_null())
        area || work;
    m_currentFrame = stream.read<int>("CurrentFrame");
    m_exportFramerate = ValidExportFramerate(stream.read<fraction>("ExportFramerate", fraction(50, 1)));
    m_exportInaccuracy = std::max(0.0f, stream.read<float>("ExportInaccuracy", 1.0f));
    m_segments->Serialize(stream);
    xml::stream background = stream.child("Background");
    m_background->Serialize(background, m_library, base, m_missingBackground);

    // A missing footage has learnt its size from the segments; without any
    // it takes the size of a background that was found, else it shows one
    // black pixel. A missing background has the composition's size.
    const auto& backdrop = m_background->GetFootage();
    auto* missingBackdrop = dynamic_cast<MissingFootage*>(backdrop.get());
    if (auto* missing = dynamic_cast<MissingFootage*>(m_footage.get());
        missing && missing->frame_size().width == 0)
        missing->SetFrameSize(backdrop && !missingBackdrop && backdrop->frame_size().width != 0
                ? backdrop->frame_size()
                : types::extent<unsigned> { 1, 1 });
    if (missingBackdrop)
        missingBackdrop->SetFrameSize(GetFrameSize());

    const My::Span stored = work;
    work = { std::clamp(work.first, 0, count), std::clamp(work.last, 0, count) };
    const bool usable = work.last - work.first > 0;
    m_workArea = usable ? work : My::Span { 0, count };
    if (m_missingFootage)
        m_storedWorkArea = StoredWorkArea { !area.is_null() && usable, stored, m_workArea };
    if (m_currentFrame < 0 || m_currentFrame >= count)
        m_currentFrame = 0;
    m_previewFrame = m_currentFrame;

    if (backdrop) {
        const types::extent<unsigned> a = backdrop->frame_size();
        const types::extent<unsigned> b = GetFrameSize();
        if (a.width != b.width || a.height != b.height)
            m_background->Clear();
    }
    SetEmpty(false);
}
