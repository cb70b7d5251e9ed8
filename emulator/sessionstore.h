#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>

namespace satemu {

// The answers of the last kMaximumSessions sessions, for the session query. Answers carrying documents can be
// large, so the oldest are also dropped once the stored answers exceed kMaximumBytes together.
class SessionStore {
public:
    static constexpr size_t kMaximumSessions = 100;
    static constexpr size_t kMaximumBytes = 8 * 1024 * 1024;

    // A session number used again replaces its earlier answer.
    void put(int session, const std::string& answer);
    const std::string* find(int session) const;
    void clear();
    const std::deque<std::pair<int, std::string>>& entries() const { return m_entries; }

private:
    std::deque<std::pair<int, std::string>> m_entries;
    size_t m_bytes = 0;
};

} // namespace satemu
