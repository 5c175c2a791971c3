#include "app/shell/RecentFileList.h"

#include <algorithm>
#include <string_view>

#include "app/shell/Profile.h"

namespace {

const char* const g_section = "Recent File List";

} // namespace

RecentFileList::RecentFileList(int size)
    : m_size(std::max(size, 0))
{
}

void RecentFileList::Read()
{
    m_paths.clear();
    Profile* profile = GetProfile();
    if (!profile)
        return;
    for (int i = 1; i <= m_size; ++i) {
        std::string path = profile->GetString(g_section, "File" + std::to_string(i), "");
        if (path.empty())
            break;
        m_paths.push_back(std::move(path));
    }
}

void RecentFileList::Write() const
{
    Profile* profile = GetProfile();
    if (!profile)
        return;
    for (int i = 1; i <= m_size; ++i) {
        const std::size_t k = std::size_t(i - 1);
        profile->WriteString(g_section, "File" + std::to_string(i), k < m_paths.size() ? m_paths[k] : "");
    }
}

void RecentFileList::Add(const std::string& path)
{
    if (path.empty() || m_size == 0)
        return;
    m_paths.erase(std::remove(m_paths.begin(), m_paths.end(), path), m_paths.end());
    m_paths.insert(m_paths.begin(), path);
    if (m_paths.size() > std::size_t(m_size))
        m_paths.resize(std::size_t(m_size));
}

void RecentFileList::Remove(std::size_t index)
{
    if (index < m_paths.size())
        m_paths.erase(m_paths.begin() + std::ptrdiff_t(index));
}

std::string RecentFileList::GetMenuText(std::size_t index) const
{
    if (index >= m_paths.size())
        return {};
    const std::string& path = m_paths[index];
    const auto slash = path.rfind('/');
    std::string text = "&";
    text.append(std::to_string(index + 1)).append(" ");
    // The menu reads a lone "&" as the mark of the next letter's mnemonic;
    // doubled it shows as itself.
    for (const char c : std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1)) {
        if (c == '&')
            text.push_back('&');
        text.push_back(c);
    }
    return text;
}
