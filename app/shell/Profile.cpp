#include "app/shell/Profile.h"

#include "app/resources/Resources.h"
#include "platform/registry/profile.h"
#include "widgets/core/Prompt.h"
#include "widgets/core/Strings.h"

namespace {

Profile* g_profile = nullptr;

} // namespace

RegistryProfile::RegistryProfile(const std::string& company, const std::string& application)
    : m_store(std::make_unique<platform::registry_profile>(company, application))
{
}

RegistryProfile::~RegistryProfile() = default;

int RegistryProfile::GetInt(const std::string& section, const std::string& entry, int default_value) const
{
    return int(m_store->get_int(section, entry, unsigned(default_value)));
}

std::string RegistryProfile::GetString(
    const std::string& section, const std::string& entry, const std::string& default_value) const
{
    return m_store->get_string(section, entry, default_value);
}

bool RegistryProfile::WriteInt(const std::string& section, const std::string& entry, int value)
{
    return Check(m_store->write_int(section, entry, value));
}

bool RegistryProfile::WriteString(
    const std::string& section, const std::string& entry, const std::string& value)
{
    return Check(m_store->write_string(section, entry, value));
}

bool RegistryProfile::Check(bool stored)
{
    if (!stored && !m_failed) {
        m_failed = true;
        My::MessageBox(My::LoadString(resources::IDS_SETTINGS_NOT_STORED), My::MB_ICONEXCLAMATION);
    }
    return stored;
}

Profile* GetProfile()
{
    return g_profile;
}

Profile* SetProfile(Profile* profile)
{
    Profile* previous = g_profile;
    g_profile = profile;
    return previous;
}

int GetProfileInt(const std::string& section, const std::string& entry, int default_value)
{
    return g_profile ? g_profile->GetInt(section, entry, default_value) : default_value;
}

void WriteProfileInt(const std::string& section, const std::string& entry, int value)
{
    if (g_profile)
        g_profile->WriteInt(section, entry, value);
}
