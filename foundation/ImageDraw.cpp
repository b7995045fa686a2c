// Operations that read and change many pixels: edge-mode reads, blits,
// clears, fills, flipping, halving and scaled copies.

#include <cmath>
#include <cstring>
#include <vector>

#include "foundation/Image.h"

namespace Zorlin {

namespace {

int FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return int(q);
}

// Intersection of r with the image's own area and its clip rectangle.
bool ClipTo(CImage::SRect& r, const CImage::SRect& clip, int width, int height)
{
    CImage::SRect c = clip;
    if (c.left < 0)
        c.left = 0;
    if (c.top < 0)
        c.top = 0;
    if (c.right > width - 1)
        c.right = width - 1;
    if (c.bottom > height - 1)
        c.bottom = height - 1;
    if (r.left < c.left)
        r.left = c.left;
    if (r.top < c.top)
        r.top = c.top;
    if (r.right > c.right)
        r.right = c.right;
    if (r.bottom > c.bottom)
        r.bottom = c.bottom;
    return r.left <= r.right && r.top <= r.bottom;
}

} // namespace

int CImage::Wrap(int& v, int size, int mode)
{
    if (size <= 0) {
        v = 0;
        return 0;
    }
    int steps = FloorDiv(v, size);
    switch (mode) {
    case EDGE_REPEAT:
        v = int(v - int64_t(steps) * size);
        break;
    case EDGE_MIRROR: {
        int64_t twice = int64_t(size) * 2;
        int64_t m = v % twice;
        if (m < 0)
            m += twice;
        v = int(m < size ? m : twice - 1 - m);
        break;
    }
    default: // clamp; also keeps reads of unknown modes inside the image
        if (v < 0)
            v = 0;
        else if (v >= size)
            v = size - 1;
        break;
    }
    return steps;
}

CColour CImage::GetPixel(int x, int y) const
{
    if (!m_pixels)
        return m_border;
    if ((x < 0 || x >= m_width) && m_edgeX == EDGE_BORDER)
        return m_border;
    WrapX(x);
    if ((y < 0 || y >= m_height) && m_edgeY == EDGE_BORDER)
        return m_border;
    WrapY(y);
    return ReadPixel(GetRow(y) + ptrdiff_t(x) * m_format.bytesPerPixel);
}

void CImage::SetPixel(int x, int y, CColour colour)
{
    if (!m_pixels || x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    WritePixel(GetRow(y) + ptrdiff_t(x) * m_format.bytesPerPixel, colour);
}

void CImage::Blit(const CImage& source, int x, int y) { Blit(source, x, y, WholeImage); }

void CImage::Blit(const CImage& source, int x, int y, const SRect& sourceRect)
{
    if (!m_pixels) {
        SetError(ERR_NO_PIXELS);
        return;
    }
    if (!source.m_pixels) {
        SetError(ERR_NO_SOURCE);
        return;
    }
    SRect src = sourceRect;
    if (src.left == -1)
        src.Set(source.m_width, source.m_height);
    if (src.right < src.left || src.bottom < src.top) {
        SetError(ERR_RECT);
        return;
    }
    // The rectangle must lie in the source: clip it, moving the target along.
    int64_t dx = int64_t(x) - src.left, dy = int64_t(y) - src.top;
    SRect whole;
    whole.Set(source.m_width, source.m_height);
    if (!ClipTo(src, whole, source.m_width, source.m_height)) {
        SetError(ERR_RECT);
        return;
    }
    int64_t left = src.left + dx, top = src.top + dy;
    int64_t right = src.right + dx, bottom = src.bottom + dy;
    if (right < m_clip.left || bottom < m_clip.top || left > m_clip.right || top > m_clip.bottom ||
        right < 0 || bottom < 0 || left >= m_width || top >= m_height) {
        SetError(ERR_RECT);
        return;
    }
    SRect dst = {int(left < INT32_MIN ? INT32_MIN : left), int(top < INT32_MIN ? INT32_MIN : top),
                 int(right > INT32_MAX ? INT32_MAX : right),
                 int(bottom > INT32_MAX ? INT32_MAX : bottom)};
    if (!ClipTo(dst, m_clip, m_width, m_height)) {
        SetError(ERR_RECT);
        return;
    }
    int sx = int(dst.left - dx), sy = int(dst.top - dy);
    CopyRows(source, sx, sy, dst.left, dst.top, dst.GetWidth(), dst.GetHeight());
    m_lastError = ERR_NONE;
}

void CImage::BlitRect(const CImage& source, int x, int y, const SRect& rect)
{
    if (!m_pixels || !source.m_pixels) {
        SetError(m_pixels ? ERR_NO_SOURCE : ERR_NO_PIXELS);
        return;
    }
    // Callers promise a fitting rectangle; a wrong one must not touch memory.
    int w = rect.GetWidth(), h = rect.GetHeight();
    if (w <= 0 || h <= 0 || rect.left < 0 || rect.top < 0 || rect.right >= source.m_width ||
        rect.bottom >= source.m_height || x < 0 || y < 0 || int64_t(x) + w > m_width ||
        int64_t(y) + h > m_height) {
        SetError(ERR_RECT);
        return;
    }
    CopyRows(source, rect.left, rect.top, x, y, w, h);
    m_lastError = ERR_NONE;
}

void CImage::SyncPalette() const
{
    // The palettes are read where they are; only the flag is kept.
    if (m_format.palettised)
        m_paletteChanged = false;
}

void CImage::CopyRows(const CImage& source, int sx, int sy, int dx, int dy, int width, int height)
{
    source.SyncPalette();
    SyncPalette();
    if (!source.m_format.IsSame(m_format) && FastCopy(source, sx, sy, dx, dy, width, height))
        return;
    int sbpp = source.m_format.bytesPerPixel, dbpp = m_format.bytesPerPixel;
    for (int row = 0; row < height; ++row)
        ConvertRow(source, source.GetRow(sy + row) + ptrdiff_t(sx) * sbpp, source.m_format,
                   GetRow(dy + row) + ptrdiff_t(dx) * dbpp, m_format, width);
}

void CImage::ConvertRow(const CImage& source, const uint8_t* from, const SPixelFormat& fromFormat,
                        uint8_t* to, const SPixelFormat& toFormat, int count)
{
    uint32_t mask = m_writeMask.GetValue();
    if (!m_blend && !mask && fromFormat.IsSame(toFormat)) {
        std::memmove(to, from, size_t(count) * fromFormat.bytesPerPixel);
        return;
    }
    int sbpp = fromFormat.bytesPerPixel, dbpp = toFormat.bytesPerPixel;
    PixelReader read = fromFormat.reader;
    PixelWriter write = toFormat.writer;
    PixelReader readBack = toFormat.reader;
    for (int i = 0; i < count; ++i, from += sbpp, to += dbpp) {
        CColour colour = read(from, source);
        if (m_blend)
            colour = m_blend(colour, readBack(to, *this));
        if (mask) {
            CColour old = readBack(to, *this);
            old.Merge(colour.GetValue(), mask);
            colour = old;
        }
        write(to, colour, *this);
    }
}

void CImage::Clear(CColour colour, bool useFastPath)
{
    if (!m_pixels) {
        SetError(ERR_NO_PIXELS);
        return;
    }
    if (useFastPath && FastClear(colour)) {
        m_lastError = ERR_NONE;
        return;
    }
    uint32_t mask = m_writeMask.GetValue();
    int bpp = m_format.bytesPerPixel;
    for (int row = 0; row < m_height; ++row) {
        uint8_t* p = GetRow(row);
        for (int i = 0; i < m_width; ++i, p += bpp) {
            CColour c = colour;
            if (mask) {
                c = ReadPixel(p);
                c.Merge(colour.GetValue(), mask);
            }
            WritePixel(p, c);
        }
    }
    m_lastError = ERR_NONE;
}

void CImage::FillRect(CColour colour, const SRect& rect)
{
    if (!m_pixels) {
        SetError(ERR_NO_PIXELS);
        return;
    }
    SRect r = rect.left == -1 ? m_clip : rect;
    if (r.right < r.left || r.bottom < r.top || !ClipTo(r, m_clip, m_width, m_height)) {
        SetError(ERR_RECT);
        return;
    }
    int bpp = m_format.bytesPerPixel;
    for (int y = r.top; y <= r.bottom; ++y) {
        uint8_t* p = GetRow(y) + ptrdiff_t(r.left) * bpp;
        for (int x = r.left; x <= r.right; ++x, p += bpp)
            WritePixel(p, m_blend ? m_blend(colour, ReadPixel(p)) : colour);
    }
    m_lastError = ERR_NONE;
}

void CImage::FlipVertical()
{
    if (!m_pixels)
        return;
    size_t n = size_t(m_width) * m_format.bytesPerPixel;
    std::vector<uint8_t> buffer(n);
    for (int i = 0; i < m_height / 2; ++i) {
        uint8_t* a = GetRow(i);
        uint8_t* b = GetRow(m_height - 1 - i);
        std::memcpy(buffer.data(), a, n);
        std::memcpy(a, b, n);
        std::memcpy(b, buffer.data(), n);
    }
}

void CImage::ShrinkHalf(CImage& destination)
{
    if (!m_pixels || !destination.m_pixels) {
        SetError(ERR_NO_PIXELS);
        return;
    }
    // Byte-wise averaging is only meaningful on 4-byte pixels, and the
    // destination must fit in half the source.
    if (m_format.bytesPerPixel != 4 || destination.m_format.bytesPerPixel != 4) {
        SetError(ERR_FORMAT);
        return;
    }
    if (destination.m_width > m_width / 2 || destination.m_height > m_height / 2) {
        SetError(ERR_RECT);
        return;
    }
    for (int y = 0; y < destination.m_height; ++y) {
        const uint8_t* top = GetRow(2 * y);
        const uint8_t* below = GetRow(2 * y + 1);
        uint8_t* d = destination.GetRow(y);
        for (int x = 0; x < destination.m_width; ++x, top += 8, below += 8, d += 4)
            for (int k = 0; k < 4; ++k)
                d[k] = uint8_t((top[k] + top[k + 4] + below[k] + below[k + 4]) >> 2);
    }
    m_lastError = ERR_NONE;
}

void CImage::StretchBlit(const CImage& source, int samples, const SRect& sourceRect,
                         const SRect& destinationRect)
{
    if (!m_pixels) {
        SetError(ERR_NO_PIXELS);
        return;
    }
    if (!source.m_pixels) {
        SetError(ERR_NO_SOURCE);
        return;
    }
    SRect src = sourceRect.left == -1 ? source.m_clip : sourceRect;
    SRect dst = destinationRect.left == -1 ? m_clip : destinationRect;
    SRect sourceArea = source.m_clip;
    ClipTo(sourceArea, source.m_clip, source.m_width, source.m_height);
    if (!sourceArea.Contains(src.left, src.top) || !sourceArea.Contains(src.right, src.bottom) ||
        src.right < src.left || src.bottom < src.top || dst.right < dst.left ||
        dst.bottom < dst.top) {
        SetError(ERR_RECT);
        return;
    }
    SRect clipped = dst;
    if (!ClipTo(clipped, m_clip, m_width, m_height)) {
        SetError(ERR_RECT);
        return;
    }
    if (samples < 1)
        samples = 1;
    float stepX = float(src.GetWidth()) / float(int64_t(dst.right) - dst.left + 1);
    float stepY = float(src.GetHeight()) / float(int64_t(dst.bottom) - dst.top + 1);
    int bpp = m_format.bytesPerPixel;
    for (int y = clipped.top; y <= clipped.bottom; ++y) {
        float sy = src.top + stepY * float(int64_t(y) - dst.top);
        uint8_t* p = GetRow(y) + ptrdiff_t(clipped.left) * bpp;
        for (int x = clipped.left; x <= clipped.right; ++x, p += bpp) {
            float sx = src.left + stepX * float(int64_t(x) - dst.left);
            WritePixel(p, source.SampleArea(sx, sy, stepX, stepY, samples, samples));
        }
    }
    m_lastError = ERR_NONE;
}

CColour CImage::SampleArea(float x, float y, float width, float height, int samplesX,
                           int samplesY) const
{
    if (!m_pixels || samplesX < 1 || samplesY < 1)
        return CColour(0u);
    float red = 0, green = 0, blue = 0;
    int bpp = m_format.bytesPerPixel;
    for (int j = 0; j < samplesY; ++j) {
        int py = int(std::floor(y + (j + 0.5f) * height / samplesY));
        bool outY = py < 0 || py >= m_height;
        if (!outY || m_edgeY != EDGE_BORDER)
            WrapY(py);
        for (int i = 0; i < samplesX; ++i) {
            int px = int(std::floor(x + (i + 0.5f) * width / samplesX));
            bool outX = px < 0 || px >= m_width;
            CColour c;
            if ((outX && m_edgeX == EDGE_BORDER) || (outY && m_edgeY == EDGE_BORDER)) {
                c = m_border;
            } else {
                WrapX(px);
                c = ReadPixel(GetRow(py) + ptrdiff_t(px) * bpp);
            }
            red += c.GetRed();
            green += c.GetGreen();
            blue += c.GetBlue();
        }
    }
    float n = float(samplesX) * float(samplesY);
    return CColour(int(std::lround(red / n)), int(std::lround(green / n)),
                   int(std::lround(blue / n)), 0);
}

} // namespace Zorlin
