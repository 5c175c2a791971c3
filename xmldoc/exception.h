#pragma once

#include <exception>
#include <string>

#include "xmldoc/export.h"

namespace xml {

// Every XML error of the system: the document library's and the access
// layer's. Defined and exported here once, so that a catch by type works on
// either side of the shared-library boundary.
class SARNEL_API exception : public std::exception {
public:
    const char* what() const noexcept override;
};

class SARNEL_API stream_parse_error : public exception {
public:
    const char* what() const noexcept override; // "stream parse error"
};

class SARNEL_API invalid_name : public exception {
public:
    const char* what() const noexcept override; // "tag or attribute name is invalid"
};

// An attribute value with a character that no XML text can carry (the zero
// byte): refused when it is set, so that every document written parses.
class SARNEL_API invalid_value : public exception {
public:
    const char* what() const noexcept override; // "attribute value holds a character that XML cannot carry"
};

class SARNEL_API attribute_not_found : public exception {
public:
    const char* what() const noexcept override; // "attribute not found"
};

class SARNEL_API attribute_parse_error : public exception {
public:
    const char* what() const noexcept override; // "attribute parse error"
};

// A child selection that was meant to be unique matched several elements.
class SARNEL_API ambiguous : public exception {
public:
    // filter_description is the filter's own text, e.g. "tag = Segment".
    explicit ambiguous(const std::string& filter_description);
    const char* what() const noexcept override; // "Node is ambiguous (" + description + ")"

private:
    std::string m_text;
};

} // namespace xml
