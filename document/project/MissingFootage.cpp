#include "document/project/MissingFootage.h"

#include "foundation/system/exception.h"
#include "lumvex/path.h"

#include <ostream>

namespace {

bool IsFileAttribute(const std::string& name)
{
    return name == "path" || name == "filter";
}

// Names a black frame of one missing footage.
class MissingFrameId : public lumvex::item_id {
public:
    MissingFrameId(const MissingFootage* footage, int frame, types::extent<unsigned> size)
        : m_footage(footage)
        , m_path(footage->path())
        , m_frame(frame)
        , m_size(size)
    {
    }
    bool equals(const lumvex::item_id& other) const override
    {
        const auto* id = dynamic_cast<const MissingFrameId*>(&other);
        return id && id->m_footage == m_footage && id->m_frame == m_frame && id->m_size.width == m_size.width
            && id->m_size.height == m_size.height;
    }
    // Frames of two stand-ins (the object's and the background's, or those
    // of two projects) never share a key.
    std::string key() const override
    {
        return "missing " + m_path + " " + std::to_string(m_size.width) + "x" + std::to_string(m_size.height)
            + " " + std::to_string(m_frame);
    }
    void describe(std::ostream& out) const override { out << "missing footage frame " << m_frame; }
    bool can_produce() const override { return true; }
    void produce(img::image<img::BGRA<unsigned char>>& target) const override
    {
        target.resize(m_size.width, m_size.height, 4);
        target.fill(img::BGRA<unsigned char> { 0, 0, 0, 255 });
    }
    bool threaded() const override { return false; }
    void request() const override { }
    bool disc_cacheable() const override { return false; }

private:
    const MissingFootage* m_footage;
    std::string m_path;
    int m_frame;
    types::extent<unsigned> m_size;
};

void WriteElement(xml::node& node, const MissingFootage::Element& element, const std::string& base)
{
    for (const auto& [name, value] : element.attributes)
        node.set_attribute(name, IsFileAttribute(name) ? paths::relative_path(value, base) : value);
    for (const auto& child : element.children) {
        xml::node added = node.add_child(child.name);
        WriteElement(added, child, base);
    }
}

} // namespace

MissingFootage::MissingFootage(Element element, std::string missing)
    : m_element(std::move(element))
    , m_missing(std::move(missing))
{
}

boost::shared_ptr<lumvex::item_id> MissingFootage::frame_id(int frame)
{
    return boost::shared_ptr<lumvex::item_id>(new MissingFrameId(this, frame, m_size));
}

boost::shared_ptr<lumvex::cached_image> MissingFootage::frame(int frame, int, bool)
{
    return cached_frame(frame);
}

boost::shared_ptr<lumvex::cached_image> MissingFootage::cached_frame(int frame)
{
    auto image = boost::shared_ptr<lumvex::cached_image>(new lumvex::cached_image(frame_id(frame)));
    image->id->produce(image->image);
    return image;
}

void MissingFootage::serialize(xml::stream& stream, const std::string& base_path)
{
    if (stream.reading)
        throw xtd::exception("A missing footage cannot be read from a project.");
    WriteElement(stream, m_element, base_path);
}

bool MissingFootage::StandsForStill() const
{
    for (const auto& [name, value] : m_element.attributes)
        if (name == "type")
            return value == "still";
    return false;
}

std::string MissingFootage::description() const
{
    return "missing footage '" + m_missing + "'";
}
