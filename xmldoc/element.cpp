#include "xmldoc/element.h"

#include "xmldoc/char_classes.h"
#include "xmldoc/exception.h"

namespace xml {

element::~element()
{
    delete_children();
}

void element::delete_children()
{
    // Children are detached before they are deleted, so each destructor
    // below finds an empty list and the loop, not the call stack, carries
    // the depth.
    std::vector<element*> pending = std::move(children);
    children.clear();
    while (!pending.empty()) {
        element* e = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), e->children.begin(), e->children.end());
        e->children.clear();
        delete e;
    }
}

void element::put_attribute(std::string_view key, std::string&& value)
{
    auto it = attributes.lower_bound(key);
    if (it != attributes.end() && it->first == key)
        it->second = std::move(value);
    else
        attributes.emplace_hint(it, std::string(key), std::move(value));
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
