#include "lumvex/cache/cache.h"

#include <istream>
#include <utility>

namespace lumvex {

cached_image::cached_image(boost::shared_ptr<item_id> key)
    : id(std::move(key))
{
}

cached_image::cached_image(boost::shared_ptr<item_id> key, img::image<img::BGRA<unsigned char>> picture)
    : id(std::move(key))
    , image(std::move(picture))
{
}

bool item_id_deserializer::read_header_and_path(
    std::istream& description, const char* header, std::string& path)
{
    std::string line;
    return std::getline(description, line) && line == header && std::getline(description, path);
}

} // namespace lumvex
