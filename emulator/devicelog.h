#pragma once

#include "datetime.h"

#include <cstddef>
#include <deque>
#include <string>

namespace satemu {

// The device's own log: one line per event, "AAAAMMDDhhmmss|SAT|nivel|text", the oldest lines dropped once the
// whole exceeds kMaximumBytes. The level is "info" for what went as asked, "alerta" for a refusal or a block and
// "erro" for a fault of the device itself (its state could not be read or written).
class DeviceLog {
public:
    static constexpr size_t kMaximumBytes = 64 * 1024;
    static constexpr size_t kMaximumLineText = 400;

    static constexpr const char* kInfo = "info";
    static constexpr const char* kAlert = "alerta";
    static constexpr const char* kError = "erro";

    void add(const DateTime& when, const std::string& text, const char* level = kInfo);
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
