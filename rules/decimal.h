#pragma once

#include <cstdint>
#include <string>

namespace satemu {

// A non-negative amount with four decimal places, exact, for the values of a CF-e (quantities, prices, totals).
class Decimal {
public:
    static constexpr int64_t kScale = 10000;
    // Keeps sums of up to a thousand values far from overflow.
    static constexpr int64_t kMaximum = 1000000000000LL * kScale;

    Decimal() = default;
    static Decimal fromUnits(int64_t units) { return Decimal(units); }

    // Digits, optionally a point and 1 to maxDecimals digits; no sign, no exponent, at most 13 integer digits.
    static bool parse(const std::string& text, Decimal& out, int maxDecimals = 4);

    // False when the result leaves the range; the product is rounded half up to four places.
    bool add(const Decimal& other);
    bool subtract(const Decimal& other); // false below zero
    bool multiply(const Decimal& other);
    Decimal roundedToCents() const;
    int64_t units() const { return m_units; }
    std::string format(int decimals) const; // rounds half up

private:
    explicit Decimal(int64_t units)
        : m_units(units)
    {
    }
    int64_t m_units = 0;
};

inline bool operator<(const Decimal& a, const Decimal& b)
{
    return a.units() < b.units();
}

} // namespace satemu
