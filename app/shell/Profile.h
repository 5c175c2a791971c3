#pragma once

// The application profile: the program's settings in sections, as numbers
// and texts. Reading never fails (a missing or unreadable value gives the
// default); a value that cannot be stored is reported once to the user, so
// a settings store that cannot be written never stops the program.
// UI thread only.

#include <memory>
#include <string>

namespace platform {
class registry_profile;
}

class Profile {
public:
    virtual ~Profile() = default;
    virtual int GetInt(const std::string& section, const std::string& entry, int default_value) const = 0;
    virtual std::string GetString(
        const std::string& section, const std::string& entry, const std::string& default_value) const = 0;
    // False when the value could not be stored.
    virtual bool WriteInt(const std::string& section, const std::string& entry, int value) = 0;
    virtual bool WriteString(const std::string& section, const std::string& entry, const std::string& value)
        = 0;
};

// The profile of the settings store under Software\<company>\<application>.
// The first failed write tells the user (a message box); later ones are
// silent.
class RegistryProfile : public Profile {
public:
    RegistryProfile(const std::string& company, const std::string& application);
    ~RegistryProfile() override;

    int GetInt(const std::string& section, const std::string& entry, int default_value) const override;
    std::string GetString(const std::string& section, const std::string& entry,
        const std::string& default_value) const override;
    bool WriteInt(const std::string& section, const std::string& entry, int value) override;
    bool WriteString(const std::string& section, const std::string& entry, const std::string& value) override;

    bool HasFailed() const { return m_failed; }
    // The underlying store, for windows that keep their own values in it.
    platform::registry_profile* GetStore() const { return m_store.get(); }

private:
    bool Check(bool stored);

    std::unique_ptr<platform::registry_profile> m_store;
    bool m_failed = false;
};

// The profile the program uses (set by the application; null before).
Profile* GetProfile();
Profile* SetProfile(Profile* profile);

// GetProfile's values, or the default without a profile.
int GetProfileInt(const std::string& section, const std::string& entry, int default_value);
void WriteProfileInt(const std::string& section, const std::string& entry, int value);
