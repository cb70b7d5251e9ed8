#include "decimal.h"

#include <cstdio>

namespace satemu {

namespace {
    int64_t roundTo(int64_t units, int64_t step)
    {
        return (units + step / 2) / step * step;
    }
} // namespace

bool Decimal::parse(const std::string& text, Decimal& out, int maxDecimals)
{
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string fraction = point == std::string::npos ? std::string() : text.substr(point + 1);
    if (whole.empty() || whole.size() > 13 || (point != std::string::npos && fraction.empty())
        || fraction.size() > static_cast<size_t>(maxDecimals) || maxDecimals > 4)
        return false;
    int64_t units = 0;
    for (char c : whole) {
        if (c < '0' || c > '9')
            return false;
        units = units * 10 + (c - '0');
    }
    int64_t fractionUnits = 0;
    for (size_t i = 0; i < 4; ++i) {
        const char c = i < fraction.size() ? fraction[i] : '0';
        if (c < '0' || c > '9')
            return false;
        fractionUnits = fractionUnits * 10 + (c - '0');
    }
    units = units * kScale + fractionUnits;
    if (units > kMaximum)
        return false;
    out = Decimal(units);
    return true;
}

bool Decimal::add(const Decimal& other)
{
    if (m_units + other.m_units > kMaximum)
        return false;
    m_units += other.m_units;
    return true;
}

bool Decimal::subtract(const Decimal& other)
{
    if (other.m_units > m_units)
        return false;
    m_units -= other.m_units;
    return true;
}

bool Decimal::multiply(const Decimal& other)
{
    const __int128 product = static_cast<__int128>(m_units) * other.m_units;
    const __int128 rounded = (product + kScale / 2) / kScale;
    if (rounded > kMaximum)
        return false;
    m_units = static_cast<int64_t>(rounded);
    return true;
}

Decimal Decimal::roundedToCents() const
{
    return Decimal(roundTo(m_units, 100));
}

std::string Decimal::format(int decimals) const
{
    if (decimals < 0)
        decimals = 0;
    if (decimals > 4)
        decimals = 4;
    int64_t step = 1;
    for (int i = decimals; i < 4; ++i)
        step *= 10;
    const int64_t rounded = roundTo(m_units, step);
    char text[40];
    if (decimals == 0)
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(rounded / kScale));
    else
        std::snprintf(text, sizeof text, "%lld.%0*lld", static_cast<long long>(rounded / kScale), decimals,
                      static_cast<long long>(rounded % kScale / step));
    return text;
}

} // namespace satemu
