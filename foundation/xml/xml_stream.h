#pragma once

#include <string>

#include "foundation/xml/xml_node.h"

namespace xml {

// A node plus the direction of serialisation. Every persistent type T has
//     xml::stream& operator||(xml::stream&, T&);
// which reads its attributes (optional ones with defaults) and descends with
// child() while loading, and writes the same attributes and children while
// saving. A missing optional child gives a null stream, whose optional reads
// return their defaults and whose required reads throw.
class stream : public node {
public:
    stream(const node& n, bool reading_)
        : node(n)
        , reading(reading_)
    {
    }

    // Saving: appends a new child element of that name and addresses it.
    // Loading: addresses the only child with that tag, or is a null stream
    // when there is none; throws xml::ambiguous when there are several.
    stream child(const std::string& name);

    // Addresses another element; the direction stays.
    void set_node(const node& n);

    // The required string read.
    std::string read_string(const std::string& name) const;

    bool reading;
};

// One string attribute with a default, bound for the time of a serialiser.
// Loading: the attribute's text, or the default when it is absent or the
// stream is null. Saving: written only when the value differs from the
// default.
class optional_string_attribute {
public:
    optional_string_attribute(std::string name, std::string& value, const std::string& default_value);
    void serialize(stream& s) const;

private:
    std::string m_name;
    std::string* m_value;
    const std::string* m_default;
};

// One required string attribute, bound for the time of a serialiser.
// Loading throws xml::attribute_not_found when it is missing; saving throws
// it on a null stream.
class required_string_attribute {
public:
    required_string_attribute(std::string name, std::string& value);
    void serialize(stream& s) const;

private:
    std::string m_name;
    std::string* m_value;
};

} // namespace xml
