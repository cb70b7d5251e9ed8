#pragma once

#include "datetime.h"

#include <cstddef>
#include <deque>
#include <string>

namespace satemu {

// The device's own log: one line per event, "AAAAMMDDhhmmss|SAT|info|text", the oldest lines dropped once the
// whole exceeds kMaximumBytes.
class DeviceLog {
public:
    static constexpr size_t kMaximumBytes = 64 * 1024;
    static constexpr size_t kMaximumLineText = 400;

    void add(const DateTime& when, const std::string& text);
    // Restores a line read back from the state file, as it was written.
    void restore(const std::string& line);
    void clear();
    const std::deque<std::string>& lines() const { return m_lines; }
    std::string text() const; // every line followed by a line feed

private:
    void trim();
    std::deque<std::string> m_lines;
    size_t m_bytes = 0;
};

} // namespace satemu
