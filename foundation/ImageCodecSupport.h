#pragma once

#include <cstdint>

#include "foundation/Image.h"

namespace Zorlin {

class CFile;

// Steps every loader shares.
namespace ImageCodecSupport {

inline uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t U32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void Put16(uint8_t* p, unsigned v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void Put32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}

// The image to read the pixels into: the image itself when it is empty,
// already of that size and format, or may be reallocated; otherwise the
// temporary. Null when the pixels could not be allocated.
CImage* ChooseTarget(CImage& image, CImage& temporary, bool reallocate, int width, int height,
                     const CImage::SPixelFormat& format);

// Blits a used temporary into the image (palette included) and converts to
// format unless it is FORMAT_NONE. Returns 0 or an error code.
int FinishLoad(CImage& image, CImage* target, CImage& temporary, int format);

// Reads exactly count bytes.
bool ReadExact(CFile& file, void* buffer, unsigned count);

bool WriteExact(CFile& file, const void* buffer, unsigned count);

} // namespace ImageCodecSupport

} // namespace Zorlin
