#include "lumvex/cache.h"

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

} // namespace lumvex
