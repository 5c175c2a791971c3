#include "xmldoc/element.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "xmldoc/arena.h"
#include "xmldoc/char_classes.h"
#include "xmldoc/exception.h"
#include "xmldoc/stored_text.h"

namespace xml {

namespace {

// Room for one more entry: the array doubles, its old room left to the
// arena. Counts are 32-bit; a larger array throws std::bad_alloc.
template <class T> void grow(arena& memory, T*& array, std::uint32_t count, std::uint32_t& capacity)
{
    if (count < capacity)
        return;
    if (count >= UINT32_MAX / 2)
        throw std::bad_alloc();
    const std::uint32_t room = capacity ? capacity * 2 : 2;
    T* bigger = static_cast<T*>(memory.allocate(sizeof(T) * room));
    if (count)
        std::memcpy(static_cast<void*>(bigger), array, sizeof(T) * count);
    array = bigger;
    capacity = room;
}

} // namespace

template <class T> T* copy_array(arena& memory, const T* first, std::size_t count)
{
    if (count == 0)
        return nullptr;
    T* array = static_cast<T*>(memory.allocate(sizeof(T) * count));
    std::memcpy(static_cast<void*>(array), first, sizeof(T) * count);
    return array;
}

template attribute* copy_array(arena&, const attribute*, std::size_t);
template element** copy_array(arena&, element* const*, std::size_t);

element* element::make(arena& memory, element* parent, std::string_view name)
{
    const char* stored = stored_text::store(memory, name, false);
    auto* e = static_cast<element*>(memory.allocate(sizeof(element)));
    *e = element { parent, stored, nullptr, nullptr, 0, 0, 0, 0 };
    return e;
}

std::uint32_t element::lower_bound(std::string_view key) const noexcept
{
    const attribute* begin = attributes;
    const attribute* it = std::partition_point(begin, begin + attribute_count,
        [key](const attribute& a) { return stored_text::view(a.name) < key; });
    return static_cast<std::uint32_t>(it - begin);
}

attribute* element::find(std::string_view key) const noexcept
{
    const std::uint32_t i = lower_bound(key);
    if (i < attribute_count && stored_text::view(attributes[i].name) == key)
        return attributes + i;
    return nullptr;
}

void element::put_attribute(arena& memory, std::string_view key, const char* value)
{
    const std::uint32_t i = lower_bound(key);
    if (i < attribute_count && stored_text::view(attributes[i].name) == key) {
        attributes[i].value = value;
        return;
    }
    const char* name = stored_text::store(memory, key, false);
    grow(memory, attributes, attribute_count, attribute_capacity);
    std::memmove(
        static_cast<void*>(attributes + i + 1), attributes + i, sizeof(attribute) * (attribute_count - i));
    attributes[i] = { name, value };
    ++attribute_count;
}

void element::add_child(arena& memory, element* child)
{
    grow(memory, children, child_count, child_capacity);
    children[child_count++] = child;
}

void element::erase_child(const element* child) noexcept
{
    element** end = std::remove(children, children + child_count, child);
    child_count = static_cast<std::uint32_t>(end - children);
}

bool is_name(std::string_view text) noexcept
{
    if (text.empty() || !chars::is(text.front(), chars::name_start))
        return false;
    for (char c : text.substr(1))
        if (!chars::is(c, chars::name_char))
            return false;
    return true;
}

void check_name(std::string_view text)
{
    if (!is_name(text))
        throw invalid_name();
}

} // namespace xml
