#pragma once

// The interface language: the built-in texts (index 0), or a satellite
// module beside the executable, named like it with the extension "enu"
// (index 1) or "rus" (index 2). A module is a shared object that exports
//
//     extern "C" const char* tavelo_string(std::uint32_t id);
//
// answering the text of a string-table entry (null when it has none). Once
// loaded, the module is the string source of the whole program; entries it
// lacks come from the built-in table. The stored choice takes effect at the
// next start. UI thread only.

#include <memory>
#include <string>

#include "widgets/core/Strings.h"

namespace platform {
class loaded_library;
}

class LanguageModule : public My::StringSource {
public:
    LanguageModule();
    ~LanguageModule();
    LanguageModule(const LanguageModule&) = delete;
    LanguageModule& operator=(const LanguageModule&) = delete;

    // Remembers where the choice is stored and the executable's path, reads
    // the stored choice, loads its module and makes this the program's
    // string source. A module that cannot be loaded leaves the built-in
    // texts, silently.
    void Init(const std::string& section, const std::string& key, const std::string& executable);
    // The stored choice; values outside 0 to 2 and an empty section or key
    // read as 0.
    int ReadSetting() const;
    // Stores the choice (nothing when section or key is empty).
    void WriteSetting(int index);
    // Unloads the module held and loads that of index (0: none).
    void Load(int index);
    void Unload();
    int GetLoadedIndex() const { return m_loadedIndex; }
    bool IsLoaded() const { return m_loadedIndex != 0; }
    // The path of index's module beside the executable ("" for index 0).
    std::string GetModulePath(int index) const;

    // My::StringSource: the module's entry, else the shell's built-in one.
    bool Find(std::uint32_t id, std::string& text) const override;

private:
    using Lookup = const char* (*)(std::uint32_t);

    std::unique_ptr<platform::loaded_library> m_module;
    Lookup m_lookup = nullptr;
    int m_loadedIndex = 0;
    std::string m_executable;
    std::string m_section;
    std::string m_key;
};

// The language module of the program (set by Init), or null.
LanguageModule* GetLanguageModule();
