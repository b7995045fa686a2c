#include "foundation/Crc32.h"

#include <cstring>

namespace Zorlin {

namespace {

struct SCrcTable {
    uint32_t entries[256];
};

constexpr SCrcTable MakeCrcTable()
{
    SCrcTable t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t.entries[i] = c;
    }
    return t;
}

constexpr SCrcTable kCrcTable = MakeCrcTable();

} // namespace

uint32_t Crc32(const void* data, size_t n, uint32_t crc)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
    for (size_t i = 0; i < n; ++i)
        crc = kCrcTable.entries[(crc ^ p[i]) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}

uint32_t Crc32String(const char* text)
{
    if (!text)
        return 0;
    return Crc32(text, std::strlen(text));
}

} // namespace Zorlin
