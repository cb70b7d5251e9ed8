#pragma once

#include <cstddef>

// Lenient Base64 decoder for the documents inside the device's answers.
//
// Bytes outside the RFC 4648 alphabet (padding, blanks, line breaks, "-", "_",
// "|", bytes of 128 or more) are skipped; a final partial quantum of k values
// gives k - 1 bytes.

// The process-wide decode buffer holds 3 MiB of output.
constexpr std::size_t DecodeBufferSize = 3 * 1024 * 1024;

// The buffer that decodeBase64 writes into, from its first byte onward.
char* decodeBuffer();

// Decodes the NUL-terminated text (null reads as empty) into decodeBuffer() and
// returns the number of bytes written. Output beyond DecodeBufferSize is dropped,
// never written past the buffer. No terminator is written: callers read exactly
// the returned length.
std::size_t decodeBase64(const char* text);
