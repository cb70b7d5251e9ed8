#include "codec/base64.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char FirstCode = '+';
constexpr unsigned char LastCode = 'z';
constexpr std::size_t TableSize = LastCode - FirstCode + 1;
constexpr char Foreign = '$';
constexpr unsigned char ValueOffset = 62;

// Entries hold value + 62 so that every entry is a printable character and "$"
// can mark the codes between the alphabet's runs.
constexpr std::array<char, TableSize> makeTable()
{
    std::array<char, TableSize> table{};
    for (char& entry : table)
        entry = Foreign;
    for (unsigned value = 0; value < 64; ++value)
        table[static_cast<unsigned char>(Alphabet[value]) - FirstCode] = static_cast<char>(value + ValueOffset);
    return table;
}

constexpr std::array<char, TableSize> Table = makeTable();
static_assert(TableSize == 80);
static_assert(Table[0] == '|' && Table[1] == Foreign && Table[TableSize - 1] == 'q');

// Codes outside the table are looked up at the entry of ",", which is foreign,
// so the lookup is a select and one load instead of a branch per byte.
constexpr unsigned ForeignIndex = ',' - FirstCode;
static_assert(Table[ForeignIndex] == Foreign);

char buffer[DecodeBufferSize];

// The 6-bit value of an alphabet byte; 64 or more (after wrapping) for any other byte.
inline std::uint32_t sextet(unsigned char byte)
{
    const unsigned index = byte - FirstCode;
    const unsigned entry = static_cast<unsigned char>(Table[index < TableSize ? index : ForeignIndex]);
    return entry - ValueOffset;
}

} // namespace

char* decodeBuffer()
{
    return buffer;
}

std::size_t decodeBase64(const char* text)
{
    if (!text)
        return 0;
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* const end = in + std::strlen(text);
    auto* out = reinterpret_cast<unsigned char*>(buffer);
    unsigned char* const limit = out + DecodeBufferSize;

    while (in < end) {
        // Most of a device's text is unbroken runs of alphabet characters: take
        // them four at a time while a whole quantum still fits the buffer.
        while (end - in >= 4 && limit - out >= 3) {
            const std::uint32_t a = sextet(in[0]), b = sextet(in[1]), c = sextet(in[2]), d = sextet(in[3]);
            if ((a | b | c | d) >= 64)
                break;
            const std::uint32_t bits = a << 18 | b << 12 | c << 6 | d;
            out[0] = static_cast<unsigned char>(bits >> 16);
            out[1] = static_cast<unsigned char>(bits >> 8);
            out[2] = static_cast<unsigned char>(bits);
            in += 4;
            out += 3;
        }

        // One quantum gathered across foreign bytes; padding does not end it.
        std::uint32_t bits = 0;
        int count = 0;
        while (in < end && count < 4) {
            const std::uint32_t value = sextet(*in++);
            if (value < 64) {
                bits = bits << 6 | value;
                ++count;
            }
        }
        if (count < 2)
            break;
        bits <<= 6 * (4 - count);
        const unsigned char bytes[3] = {static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 8),
                                        static_cast<unsigned char>(bits)};
        std::size_t take = static_cast<std::size_t>(count - 1);
        if (take > static_cast<std::size_t>(limit - out))
            take = static_cast<std::size_t>(limit - out);
        std::memcpy(out, bytes, take);
        out += take;
        if (out == limit)
            break;
    }
    return static_cast<std::size_t>(out - reinterpret_cast<unsigned char*>(buffer));
}
