#pragma once

// The application profile: named values grouped in sections, kept in the
// settings store (registry.h) under "Software\<company>\<application>", one
// sub key per section, as the application framework keeps them. Texts are
// stored as strings, numbers as 32-bit values. Reading never fails: a value
// that is missing, of another type or unreadable gives the default. Every
// operation may be called from any thread.

#include <string>

namespace platform {

class registry_profile {
public:
    registry_profile(const std::string& company, const std::string& application);

    std::string get_string(
        const std::string& section, const std::string& entry, const std::string& default_value) const;
    unsigned get_int(const std::string& section, const std::string& entry, unsigned default_value) const;

    // False when the value could not be stored.
    bool write_string(const std::string& section, const std::string& entry, const std::string& value);
    bool write_int(const std::string& section, const std::string& entry, int value);

private:
    std::string m_key;
};

} // namespace platform
