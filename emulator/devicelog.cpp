#include "devicelog.h"

namespace satemu {

void DeviceLog::add(const DateTime& when, const std::string& text, const char* level)
{
    std::string line = when.stamp() + "|SAT|" + level + "|";
    for (size_t i = 0; i < text.size() && i < kMaximumLineText; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        line += c < 0x20 || c > 0x7e ? ' ' : static_cast<char>(c);
    }
    restore(line);
}

void DeviceLog::restore(const std::string& line)
{
    m_lines.push_back(line);
    m_bytes += line.size() + 1;
    trim();
}

void DeviceLog::clear()
{
    m_lines.clear();
    m_bytes = 0;
}

std::string DeviceLog::text() const
{
    std::string out;
    out.reserve(m_bytes);
    for (const std::string& line : m_lines)
        out += line + "\n";
    return out;
}

void DeviceLog::trim()
{
    while (m_bytes > kMaximumBytes && !m_lines.empty()) {
        m_bytes -= m_lines.front().size() + 1;
        m_lines.pop_front();
    }
}

} // namespace satemu
