// The decoder against a plain model of the lenient algorithm: the alphabet characters of the text, wherever
// foreign bytes stand between them, taken four at a time, a final group of k values giving k - 1 bytes.
#include "codec/base64.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int sextet(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

std::string modelDecode(const char* text)
{
    std::string out;
    std::uint32_t values[4];
    int count = 0;
    for (const char* at = text; *at; ++at) {
        const int value = sextet(static_cast<unsigned char>(*at));
        if (value < 0)
            continue;
        values[count++] = static_cast<std::uint32_t>(value);
        if (count == 4) {
            const std::uint32_t bits = values[0] << 18 | values[1] << 12 | values[2] << 6 | values[3];
            out += static_cast<char>(bits >> 16 & 0xff);
            out += static_cast<char>(bits >> 8 & 0xff);
            out += static_cast<char>(bits & 0xff);
            count = 0;
        }
    }
    if (count >= 2) {
        std::uint32_t bits = 0;
        for (int i = 0; i < count; ++i)
            bits |= values[i] << (18 - 6 * i);
        for (int i = 0; i < count - 1; ++i)
            out += static_cast<char>(bits >> (16 - 8 * i) & 0xff);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The decoder reads a C string: the bytes up to the first NUL, as the device's answer reaches it. An exact
    // heap copy, so that a read past the terminator is caught.
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    text.shrink_to_fit();
    const std::size_t length = decodeBase64(text.data());
    const std::string expected = modelDecode(text.data());

    std::size_t wanted = expected.size();
    if (wanted > DecodeBufferSize)
        wanted = DecodeBufferSize;
    if (length != wanted || std::memcmp(decodeBuffer(), expected.data(), wanted) != 0)
        std::abort();
    return 0;
}
