#pragma once

#include <cstddef>
#include <cstdint>

namespace Zorlin {

// The standard CRC-32 (IEEE 802.3, as zlib's crc32): reflected polynomial
// 0xEDB88320, initial value all ones, final complement.
// Pass the previous result as crc to continue over more bytes.
uint32_t Crc32(const void* data, size_t n, uint32_t crc = 0);

// CRC-32 of a zero-terminated text, terminator excluded; "" and null give 0.
uint32_t Crc32String(const char* text);

} // namespace Zorlin
