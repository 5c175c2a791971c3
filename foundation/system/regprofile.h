#pragma once

// The small settings layer through which each library keeps its own key in
// the per-user settings store: one open key, string, integer and binary
// values, value names that reach into sub keys, and every failure as a typed
// exception whose text the user can read.
//
// Value paths: a name holding "\" is split at its last one; the part up to
// and including it is a sub key below this key and the rest the value name
// (empty: the key's default value). Reading opens that sub key without
// creating it (a missing one raises not_found with "registry key '" + sub
// key + "' opening error"); writing creates it.
//
// Error texts are the message, then ":\n" and the system's text for the
// failure when the system has one. A key is used by one thread at a time;
// separate keys (of this or another process) may work on the same values at
// once.

#include "foundation/system/exception.h"
#include "platform/registry/registry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace regprofile {

// Any failure of the store.
class error : public xtd::exception {
public:
    using xtd::exception::exception;
};

// A missing key or value.
class not_found : public error {
public:
    using error::error;
};

// The store refused the access.
class access_denied : public error {
public:
    using error::error;
};

// The base of the errors about a stored value's form.
class parse_error : public error {
public:
    using error::error;
};

// A value of another type (or size) than the one asked for.
class incompatible_type : public parse_error {
public:
    using parse_error::parse_error;
};

class key {
public:
    // A key that holds nothing.
    key() = default;
    // See open.
    key(platform::registry_root root, const std::string& sub_key, bool create, bool quiet);

    // Closes any held key, then opens (with `create`: creates when missing)
    // `sub_key` below `root`. On failure the key holds nothing; with `quiet`
    // that is all, else the error is raised as "registry key '" + sub_key +
    // "' opening error".
    void open(platform::registry_root root, const std::string& sub_key, bool create, bool quiet);
    void close() { m_key.close(); }
    bool is_open() const { return m_key.is_open(); }

    // A string value: its bytes without the terminating NUL (a value stored
    // without one keeps all its bytes; an empty value reads as ""). Another
    // type raises incompatible_type "registry value '" + name + "' is not
    // string".
    std::string read_string(const std::string& name) const;
    // A 32-bit value sign-extended, or a 64-bit value whole. Another type,
    // or a value of another size than its type's, raises incompatible_type
    // "Registry value '" + name + "' is not 32- or 64-bit integer".
    std::int64_t read_integer(const std::string& name) const;
    // Another type raises incompatible_type "registry value '" + name + "' is
    // not binary".
    void read_binary(const std::string& name, std::vector<unsigned char>& data) const;

    // Write failures raise "setting registry value '" + name + "' error".
    void write_string(const std::string& name, const std::string& text);
    void write_dword(const std::string& name, std::uint32_t value);
    void set_qword(const std::string& name, std::uint64_t value);
    void write_binary(const std::string& name, const std::vector<unsigned char>& data);

private:
    platform::registry_value read(const std::string& name) const;
    void write(const std::string& name, const platform::registry_value& value);

    platform::registry_key m_key;
};

// Raises the error for a system error code: nothing for 0; not_found for a
// missing key or value, access_denied for a refused access, error for any
// other code; the text is `message`, then ":\n" (when the message is not
// empty) and the system's text for the code, when it has one.
void raise(int code, const std::string& message);

} // namespace regprofile
