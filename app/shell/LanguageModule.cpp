#include "app/shell/LanguageModule.h"

#include "app/resources/Resources.h"
#include "app/shell/Profile.h"
#include "platform/kernel/library.h"

namespace {

LanguageModule* g_module = nullptr;

const char* ExtensionOf(int index)
{
    switch (index) {
    case 1:
        return "enu";
    case 2:
        return "rus";
    default:
        return nullptr;
    }
}

// The path with its extension replaced (or added when the name has none).
std::string ReplaceExtension(const std::string& path, const std::string& extension)
{
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (has_extension ? path.substr(0, dot) : path) + "." + extension;
}

} // namespace

LanguageModule::LanguageModule()
    : m_module(std::make_unique<platform::loaded_library>())
{
}

LanguageModule::~LanguageModule()
{
    const My::StringSource* current = My::SetStringSource(nullptr);
    if (current != this)
        My::SetStringSource(current);
    if (g_module == this)
        g_module = nullptr;
    Unload();
}

void LanguageModule::Init(const std::string& section, const std::string& key, const std::string& executable)
{
    m_executable = executable;
    g_module = this;
    m_section = section;
    m_key = key;
    Load(ReadSetting());
    My::SetStringSource(this);
}

int LanguageModule::ReadSetting() const
{
    if (m_section.empty() || m_key.empty())
        return 0;
    const int value = GetProfileInt(m_section, m_key, 0);
    return value < 0 || value >= 3 ? 0 : value;
}

void LanguageModule::WriteSetting(int index)
{
    if (!m_section.empty() && !m_key.empty())
        WriteProfileInt(m_section, m_key, index);
}

std::string LanguageModule::GetModulePath(int index) const
{
    const char* extension = ExtensionOf(index);
    if (!extension || m_executable.empty())
        return {};
    return ReplaceExtension(m_executable, extension);
}

void LanguageModule::Load(int index)
{
    Unload();
    const std::string path = GetModulePath(index);
    if (path.empty() || !m_module->load(path))
        return;
    m_lookup = reinterpret_cast<Lookup>(m_module->symbol("tavelo_string"));
    if (!m_lookup) {
        // Not a language module of ours: the built-in texts stay.
        m_module->unload();
        return;
    }
    m_loadedIndex = index;
}

void LanguageModule::Unload()
{
    m_lookup = nullptr;
    m_module->unload();
    m_loadedIndex = 0;
}

bool LanguageModule::Find(std::uint32_t id, std::string& text) const
{
    if (m_lookup) {
        if (const char* found = m_lookup(id)) {
            text = found;
            return true;
        }
    }
    return resources::FindBuiltInString(id, text);
}

LanguageModule* GetLanguageModule()
{
    return g_module;
}
