#pragma once

#include <cstddef>
#include <exception>
#include <string>

#include "xmldoc/export.h"

namespace xml {

// Every XML error of the system: the document library's and the access
// layer's. Defined and exported here once, so that a catch by type works on
// either side of the shared-library boundary.
//
// `what` is the error's own text (e.g. "stream parse error") until the file
// the document came from is named; from then on it is the file, ": " and the
// description.
class SARNEL_API exception : public std::exception {
public:
    const char* what() const noexcept final;

    // The error's own text followed by what the thrower knew of where it
    // happened (the line of a parse error, the attribute and element of an
    // attribute error).
    virtual std::string description() const;

    // Names the file the document was read from; the function that opened it
    // does so before the error passes on.
    void set_file(const std::string& path);
    const std::string& file() const noexcept { return m_file; }

protected:
    // The error's own text.
    virtual const char* text() const noexcept;

private:
    std::string m_file;
    std::string m_what;
};

class SARNEL_API stream_parse_error : public exception {
public:
    stream_parse_error() = default;
    // `line` counts from 1: the line where the text stopped matching.
    explicit stream_parse_error(std::size_t line);

    // 0 when not known.
    std::size_t line() const noexcept { return m_line; }
    // "stream parse error at line " and the line, when known.
    std::string description() const override;

protected:
    const char* text() const noexcept override; // "stream parse error"

private:
    std::size_t m_line = 0;
};

class SARNEL_API invalid_name : public exception {
protected:
    const char* text() const noexcept override; // "tag or attribute name is invalid"
};

// An attribute value with a character that no XML text can carry (the zero
// byte): refused when it is set, so that every document written parses.
class SARNEL_API invalid_value : public exception {
protected:
    const char* text() const noexcept override; // "attribute value holds a character that XML cannot carry"
};

// A required attribute that cannot be read: the access layer's errors.
class SARNEL_API attribute_error : public exception {
public:
    attribute_error() = default;
    // The attribute asked for and the tag of its element (empty for a null
    // node).
    attribute_error(std::string attribute, std::string element);

    const std::string& attribute() const noexcept { return m_attribute; }
    const std::string& element() const noexcept { return m_element; }
    // The text, then the attribute and element in brackets when known:
    // attribute parse error ("First" of element "WorkArea").
    std::string description() const override;

private:
    std::string m_attribute;
    std::string m_element;
};

class SARNEL_API attribute_not_found : public attribute_error {
public:
    using attribute_error::attribute_error;

protected:
    const char* text() const noexcept override; // "attribute not found"
};

class SARNEL_API attribute_parse_error : public attribute_error {
public:
    using attribute_error::attribute_error;

protected:
    const char* text() const noexcept override; // "attribute parse error"
};

// A child selection that was meant to be unique matched several elements.
class SARNEL_API ambiguous : public exception {
public:
    // filter_description is the filter's own text, e.g. "tag = Segment".
    explicit ambiguous(const std::string& filter_description);

protected:
    const char* text() const noexcept override; // "Node is ambiguous (" + description + ")"

private:
    std::string m_text;
};

} // namespace xml
