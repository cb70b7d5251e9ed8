#include "sessionstore.h"

namespace satemu {

void SessionStore::put(int session, const std::string& answer)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->first == session) {
            m_bytes -= it->second.size();
            m_entries.erase(it);
            break;
        }
    }
    m_entries.emplace_back(session, answer);
    m_bytes += answer.size();
    while (m_entries.size() > kMaximumSessions || (m_bytes > kMaximumBytes && m_entries.size() > 1)) {
        m_bytes -= m_entries.front().second.size();
        m_entries.pop_front();
    }
}

const std::string* SessionStore::find(int session) const
{
    for (const auto& entry : m_entries)
        if (entry.first == session)
            return &entry.second;
    return nullptr;
}

void SessionStore::clear()
{
    m_entries.clear();
    m_bytes = 0;
}

} // namespace satemu
