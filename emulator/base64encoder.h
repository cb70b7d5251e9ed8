#pragma once

#include <cstddef>
#include <string>

namespace satemu {

// RFC 4648 Base64 with padding and no line breaks, as the device answers carry documents.
std::string encodeBase64(const unsigned char* data, size_t size);
std::string encodeBase64(const std::string& data);

// True when the text is only Base64 characters, with at most two "=" at its end.
bool isBase64Text(const std::string& text);

} // namespace satemu
