#include "base64encoder.h"

namespace satemu {

namespace {
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

    bool inAlphabet(char c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
    }
} // namespace

std::string encodeBase64(const unsigned char* data, size_t size)
{
    std::string out;
    if (!data)
        return out;
    out.reserve((size + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const unsigned v = data[i] << 16 | data[i + 1] << 8 | data[i + 2];
        out += alphabet[v >> 18 & 63];
        out += alphabet[v >> 12 & 63];
        out += alphabet[v >> 6 & 63];
        out += alphabet[v & 63];
    }
    if (size - i == 1) {
        const unsigned v = data[i] << 16;
        out += alphabet[v >> 18 & 63];
        out += alphabet[v >> 12 & 63];
        out += "==";
    } else if (size - i == 2) {
        const unsigned v = data[i] << 16 | data[i + 1] << 8;
        out += alphabet[v >> 18 & 63];
        out += alphabet[v >> 12 & 63];
        out += alphabet[v >> 6 & 63];
        out += '=';
    }
    return out;
}

std::string encodeBase64(const std::string& data)
{
    return encodeBase64(reinterpret_cast<const unsigned char*>(data.data()), data.size());
}

bool isBase64Text(const std::string& text)
{
    size_t end = text.size();
    for (int pad = 0; pad < 2 && end > 0 && text[end - 1] == '='; ++pad)
        --end;
    for (size_t i = 0; i < end; ++i)
        if (!inAlphabet(text[i]))
            return false;
    return true;
}

} // namespace satemu
