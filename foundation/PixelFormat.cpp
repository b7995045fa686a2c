// The built-in pixel formats, their readers and writers, and conversion
// between formats.

#include <cstring>

#include "foundation/Image.h"

namespace Zorlin {

namespace {

uint32_t LoadLE(const uint8_t* p, int bytes)
{
    switch (bytes) {
    case 1: return p[0];
    case 2: return uint32_t(p[0]) | uint32_t(p[1]) << 8;
    case 3: return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    default: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

void StoreLE(uint8_t* p, uint32_t v, int bytes)
{
    switch (bytes) {
    case 1: p[0] = uint8_t(v); break;
    case 2: p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); break;
    case 3: p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); break;
    default: std::memcpy(p, &v, 4); break;
    }
}

constexpr int LowBit(uint32_t m) { return m ? __builtin_ctz(m) : 0; }
constexpr int Bits(uint32_t m) { return __builtin_popcount(m); }

// The channel's bits placed at the top of a byte.
constexpr int Expand(uint32_t v, uint32_t mask)
{
    return Bits(mask) <= 8 ? int(((v & mask) >> LowBit(mask)) << (8 - Bits(mask)))
                           : int(((v & mask) >> LowBit(mask)) >> (Bits(mask) - 8));
}

// The top bits of an 8-bit component at the mask's position.
constexpr uint32_t Place(int component, uint32_t mask)
{
    return Bits(mask) <= 8 ? (uint32_t(component) >> (8 - Bits(mask))) << LowBit(mask) & mask
                           : (uint32_t(component) << (Bits(mask) - 8)) << LowBit(mask) & mask;
}

// Hard-wired direct formats: the masks are template constants.
template <uint32_t R, uint32_t G, uint32_t B, uint32_t A, int Bytes>
CColour ReadDirect(const uint8_t* p, const CImage&)
{
    uint32_t v = LoadLE(p, Bytes);
    int alpha = A ? Expand(v, A) : 0;
    return CColour(Expand(v, R), Expand(v, G), Expand(v, B), alpha);
}

template <uint32_t R, uint32_t G, uint32_t B, uint32_t A, int Bytes>
void WriteDirect(uint8_t* p, CColour c, const CImage&)
{
    uint32_t v = Place(c.GetRed(), R) | Place(c.GetGreen(), G) | Place(c.GetBlue(), B);
    if (A)
        v |= Place(c.GetAlpha(), A);
    StoreLE(p, v, Bytes);
}

CColour ReadPalette(const uint8_t* p, const CImage& image) { return image.GetPaletteEntry(p[0]); }
void WritePalette(uint8_t* p, CColour c, const CImage& image) { p[0] = image.NearestPaletteIndex(c); }

int GreyOf(CColour c) { return (c.GetBlue() + c.GetGreen() + c.GetRed()) / 3; }

CColour ReadGrey(const uint8_t* p, const CImage&) { return CColour(p[0], p[0], p[0], 0); }
void WriteGrey(uint8_t* p, CColour c, const CImage&) { p[0] = uint8_t(GreyOf(c)); }
CColour ReadGreyAlpha(const uint8_t* p, const CImage&) { return CColour(p[0], p[0], p[0], p[1]); }
void WriteGreyAlpha(uint8_t* p, CColour c, const CImage&)
{
    p[0] = uint8_t(GreyOf(c));
    p[1] = uint8_t(c.GetAlpha());
}

// Format 22 is the colour's own byte order.
CColour ReadBgra(const uint8_t* p, const CImage&) { return CColour(LoadLE(p, 4)); }
void WriteBgra(uint8_t* p, CColour c, const CImage&) { StoreLE(p, c.GetValue(), 4); }

struct SFormatEntry {
    bool palettised;
    uint32_t red, green, blue, alpha, grey;
    int bits;
    CImage::PixelReader reader;
    CImage::PixelWriter writer;
};

#define DIRECT(r, g, b, a, bytes) ReadDirect<r, g, b, a, bytes>, WriteDirect<r, g, b, a, bytes>

// Formats 23 and 24 leave their fourth byte out of every mask, yet use the
// readers and writers of 21 and 22, which carry alpha in it.
const SFormatEntry kFormats[CImage::FORMAT_COUNT] = {
    {true, 0, 0, 0, 0, 0, 8, ReadPalette, WritePalette},
    {false, 0xFF, 0xFF, 0xFF, 0, 0xFF, 8, ReadGrey, WriteGrey},
    {false, 0xFF, 0, 0, 0, 0, 8, DIRECT(0xFF, 0, 0, 0, 1)},
    {false, 0, 0xFF, 0, 0, 0, 8, DIRECT(0, 0xFF, 0, 0, 1)},
    {false, 0, 0, 0xFF, 0, 0, 8, DIRECT(0, 0, 0xFF, 0, 1)},
    {false, 0, 0, 0, 0xFF, 0, 8, DIRECT(0, 0, 0, 0xFF, 1)},
    {false, 0x03, 0x1C, 0xE0, 0, 0, 8, DIRECT(0x03, 0x1C, 0xE0, 0, 1)},
    {false, 0xE0, 0x1C, 0x03, 0, 0, 8, DIRECT(0xE0, 0x1C, 0x03, 0, 1)},
    {false, 0x00FF, 0x00FF, 0x00FF, 0xFF00, 0x00FF, 16, ReadGreyAlpha, WriteGreyAlpha},
    {false, 0x000F, 0x00F0, 0x0F00, 0xF000, 0, 16, DIRECT(0x000F, 0x00F0, 0x0F00, 0xF000, 2)},
    {false, 0x0F00, 0x00F0, 0x000F, 0xF000, 0, 16, DIRECT(0x0F00, 0x00F0, 0x000F, 0xF000, 2)},
    {false, 0x001F, 0x03E0, 0x7C00, 0x8000, 0, 16, DIRECT(0x001F, 0x03E0, 0x7C00, 0x8000, 2)},
    {false, 0x7C00, 0x03E0, 0x001F, 0x8000, 0, 16, DIRECT(0x7C00, 0x03E0, 0x001F, 0x8000, 2)},
    {false, 0x003E, 0x07C0, 0xF800, 0x0001, 0, 16, DIRECT(0x003E, 0x07C0, 0xF800, 0x0001, 2)},
    {false, 0xF800, 0x07C0, 0x003E, 0x0001, 0, 16, DIRECT(0xF800, 0x07C0, 0x003E, 0x0001, 2)},
    {false, 0x001F, 0x03E0, 0x7C00, 0, 0, 16, DIRECT(0x001F, 0x03E0, 0x7C00, 0, 2)},
    {false, 0x7C00, 0x03E0, 0x001F, 0, 0, 16, DIRECT(0x7C00, 0x03E0, 0x001F, 0, 2)},
    {false, 0x001F, 0x07E0, 0xF800, 0, 0, 16, DIRECT(0x001F, 0x07E0, 0xF800, 0, 2)},
    {false, 0xF800, 0x07E0, 0x001F, 0, 0, 16, DIRECT(0xF800, 0x07E0, 0x001F, 0, 2)},
    {false, 0x0000FF, 0x00FF00, 0xFF0000, 0, 0, 24, DIRECT(0x0000FF, 0x00FF00, 0xFF0000, 0, 3)},
    {false, 0xFF0000, 0x00FF00, 0x0000FF, 0, 0, 24, DIRECT(0xFF0000, 0x00FF00, 0x0000FF, 0, 3)},
    {false, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, 0, 32,
     DIRECT(0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, 4)},
    {false, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, 0, 32, ReadBgra, WriteBgra},
    {false, 0x000000FF, 0x0000FF00, 0x00FF0000, 0, 0, 32,
     DIRECT(0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, 4)},
    {false, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, 0, 32, ReadBgra, WriteBgra},
};

#undef DIRECT

struct SFormatTable {
    CImage::SPixelFormat formats[CImage::FORMAT_COUNT];
    SFormatTable()
    {
        for (int i = 0; i < CImage::FORMAT_COUNT; ++i) {
            const SFormatEntry& s = kFormats[i];
            formats[i].Init(s.palettised, s.red, s.green, s.blue, s.alpha, s.grey, s.bits,
                            s.reader, s.writer);
        }
    }
};

const SFormatTable& Table()
{
    static const SFormatTable table;
    return table;
}

} // namespace

void CImage::SChannel::Init(uint32_t m)
{
    present = m != 0;
    mask = m;
    shift = LowBit(m);
    width = Bits(m);
    loss = 8 - width;
}

void CImage::SPixelFormat::Init(bool isPalettised, uint32_t redMask, uint32_t greenMask,
                                uint32_t blueMask, uint32_t alphaMask, uint32_t greyMask, int bits,
                                PixelReader read, PixelWriter write)
{
    red.Init(redMask);
    green.Init(greenMask);
    blue.Init(blueMask);
    alpha.Init(alphaMask);
    grey.Init(greyMask);
    palettised = isPalettised;
    bitsPerPixel = bits;
    bytesPerPixel = bits / 8;
    colourBits = palettised ? bits : Bits(redMask | greenMask | blueMask | alphaMask | greyMask);
    reader = read ? read : ReadGeneric;
    writer = write ? write : WriteGeneric;
}

bool CImage::SPixelFormat::IsSame(const SPixelFormat& o) const
{
    return bytesPerPixel == o.bytesPerPixel && red.mask == o.red.mask &&
           green.mask == o.green.mask && blue.mask == o.blue.mask && alpha.mask == o.alpha.mask &&
           grey.mask == o.grey.mask;
}

const CImage::SPixelFormat& CImage::GetPixelFormat(int index)
{
    if (!IsValidFormat(index))
        index = 0;
    return Table().formats[index];
}

int CImage::FindPixelFormat(const SPixelFormat& format)
{
    for (int i = 0; i < FORMAT_COUNT; ++i)
        if (Table().formats[i].IsSame(format))
            return i;
    return FORMAT_CUSTOM;
}

CColour CImage::ReadGeneric(const uint8_t* pixel, const CImage& image)
{
    const SPixelFormat& f = image.m_format;
    if (f.palettised)
        return image.GetPaletteEntry(pixel[0]);
    uint32_t v = LoadLE(pixel, f.bytesPerPixel);
    return CColour(Expand(v, f.red.mask), Expand(v, f.green.mask), Expand(v, f.blue.mask),
                   Expand(v, f.alpha.mask));
}

void CImage::WriteGeneric(uint8_t* pixel, CColour c, const CImage& image)
{
    const SPixelFormat& f = image.m_format;
    if (f.palettised) {
        pixel[0] = image.NearestPaletteIndex(c);
        return;
    }
    uint32_t v;
    if (f.grey.present)
        v = Place(GreyOf(c), f.grey.mask);
    else
        v = Place(c.GetRed(), f.red.mask) | Place(c.GetGreen(), f.green.mask) |
            Place(c.GetBlue(), f.blue.mask);
    v |= Place(c.GetAlpha(), f.alpha.mask);
    StoreLE(pixel, v, f.bytesPerPixel);
}

CColour CImage::GetPaletteEntry(int index) const
{
    // A caller may have shrunk the palette: missing entries read as black.
    if (index < 0 || index >= m_palette.GetCount())
        return CColour::Black;
    return *m_palette.GetAt(index);
}

void CImage::SetPaletteSize(int count)
{
    int old = m_palette.GetCount();
    m_palette.SetSize(count);
    for (int i = old; i < count; ++i)
        *m_palette.GetAt(i) = CColour::Black;
    m_paletteChanged = true;
}

void CImage::SetGreyPalette()
{
    m_palette.SetSize(256);
    for (int i = 0; i < 256; ++i)
        *m_palette.GetAt(i) = CColour(i, i, i, 0);
    m_paletteChanged = true;
}

uint8_t CImage::NearestPaletteIndex(CColour colour) const
{
    int count = m_palette.GetCount();
    if (count > 256)
        count = 256;
    int best = 0;
    int bestDistance = 0x0FFFFFFF;
    const CColour* entries = m_palette.GetData();
    for (int i = 0; i < count; ++i) {
        int db = entries[i].GetBlue() - colour.GetBlue();
        int dg = entries[i].GetGreen() - colour.GetGreen();
        int dr = entries[i].GetRed() - colour.GetRed();
        int distance = db * db + dg * dg + dr * dr;
        if (distance < 4)
            return uint8_t(i);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return uint8_t(best);
}

void CImage::SetPixelFormat(int index)
{
    if (!IsValidFormat(index) || !m_pixels ||
        GetPixelFormat(index).bytesPerPixel != m_format.bytesPerPixel) {
        SetError(ERR_FORMAT);
        return;
    }
    m_format = GetPixelFormat(index);
    if (m_format.palettised)
        SetPaletteSize(256);
    m_formatIndex = FindPixelFormat(m_format);
    m_lastError = ERR_NONE;
}

void CImage::Convert(int index)
{
    if (!IsValidFormat(index)) {
        SetError(ERR_FORMAT);
        return;
    }
    Convert(GetPixelFormat(index));
}

void CImage::Convert(const SPixelFormat& format)
{
    if (!m_pixels || m_parent || format.bytesPerPixel < 1 || format.bytesPerPixel > 4 ||
        (m_viewCount > 0 && format.bytesPerPixel != m_format.bytesPerPixel)) {
        SetError(ERR_FORMAT);
        return;
    }
    if (format.IsSame(m_format)) {
        m_lastError = ERR_NONE;
        return;
    }
    int edgeX = m_edgeX, edgeY = m_edgeY;
    CColour border = m_border;
    SRect clip = m_clip;
    CString text = m_text;
    // Effects belong to drawing, not to a change of representation.
    BlendFunction blend = m_blend;
    CColour mask = m_writeMask;
    m_blend = nullptr;
    m_writeMask = CColour(0u);

    if (format.bytesPerPixel == m_format.bytesPerPixel && !format.palettised)
        ConvertInPlace(format);
    else
        ConvertToNewBlock(format);

    m_blend = blend;
    m_writeMask = mask;
    m_edgeX = edgeX;
    m_edgeY = edgeY;
    m_border = border;
    m_clip = clip;
    m_text = text;
}

void CImage::ConvertInPlace(const SPixelFormat& format)
{
    CImage old;
    old.CreateView(*this, 0, 0, m_width, m_height);
    m_format = format;
    m_formatIndex = FindPixelFormat(format);
    if (m_formatIndex != FORMAT_CUSTOM)
        m_format = GetPixelFormat(m_formatIndex);
    SRect all;
    all.Set(m_width, m_height);
    BlitRect(old, 0, 0, all);
}

void CImage::ConvertToNewBlock(const SPixelFormat& format)
{
    CArray<CColour> keptPalette(m_palette);
    CImage target;
    target.Create(m_width, m_height, format);
    if (!target.m_pixels) {
        SetError(ERR_ALLOC);
        return;
    }
    if (format.palettised) {
        target.m_palette = m_palette;
        target.SetPaletteSize(256);
    }
    SRect all;
    all.Set(m_width, m_height);
    target.BlitRect(*this, 0, 0, all);

    bool palettised = format.palettised;
    CArray<CColour> palette(target.m_palette);
    int bytesPerRow = target.m_bytesPerRow;
    uint8_t* pixels = target.m_pixels;
    SPixelFormat newFormat = target.m_format;
    target.m_ownsPixels = false;
    target.Free();

    TakeOver(newFormat, pixels, m_width, m_height, bytesPerRow);
    m_palette = palette;
    if (palettised && keptPalette.GetCount() > 0)
        m_palette = keptPalette;
    if (palettised)
        SetPaletteSize(256);
    m_paletteChanged = true;
    m_lastError = ERR_NONE;
}

// Fast paths: results equal the per-pixel path, only quicker.

namespace {

// Byte-channel formats 19-24: which source byte feeds each destination byte
// (-1 writes 0).
bool BytePlan(int from, int to, int plan[4])
{
    // Position of red, green, blue, alpha bytes; -1 when the format has none.
    static const int kLayout[6][4] = {
        {0, 1, 2, -1}, {2, 1, 0, -1}, {0, 1, 2, 3}, {2, 1, 0, 3}, {0, 1, 2, 3}, {2, 1, 0, 3}};
    if (from < 19 || from > 24 || to < 19 || to > 24)
        return false;
    const int* s = kLayout[from - 19];
    const int* d = kLayout[to - 19];
    for (int k = 0; k < 4; ++k)
        plan[k] = -1;
    for (int ch = 0; ch < 4; ++ch)
        if (d[ch] >= 0)
            plan[d[ch]] = s[ch];
    return true;
}

} // namespace

bool CImage::FastCopy(const CImage& source, int sx, int sy, int dx, int dy, int width, int height)
{
    int from = source.m_formatIndex;
    int to = m_formatIndex;
    if (from == FORMAT_CUSTOM || to == FORMAT_CUSTOM || m_blend || m_writeMask.GetValue())
        return false;
    int sbpp = source.m_format.bytesPerPixel;
    int dbpp = m_format.bytesPerPixel;
    int plan[4];
    if (sbpp == 1) {
        // Every 8-bit source has 256 possible pixels: convert each once.
        uint8_t table[256][4];
        for (int v = 0; v < 256; ++v) {
            uint8_t byte = uint8_t(v);
            WritePixel(table[v], source.ReadPixel(&byte));
        }
        for (int row = 0; row < height; ++row) {
            const uint8_t* s = source.GetRow(sy + row) + sx;
            uint8_t* d = GetRow(dy + row) + ptrdiff_t(dx) * dbpp;
            for (int i = 0; i < width; ++i, d += dbpp)
                std::memcpy(d, table[s[i]], dbpp);
        }
        return true;
    }
    if (!BytePlan(from, to, plan))
        return false;
    for (int row = 0; row < height; ++row) {
        const uint8_t* s = source.GetRow(sy + row) + ptrdiff_t(sx) * sbpp;
        uint8_t* d = GetRow(dy + row) + ptrdiff_t(dx) * dbpp;
        for (int i = 0; i < width; ++i, s += sbpp, d += dbpp) {
            uint8_t px[4] = {s[0], s[1], s[2], sbpp == 4 ? s[3] : uint8_t(0)};
            for (int k = 0; k < dbpp; ++k)
                d[k] = plan[k] < 0 ? 0 : px[plan[k]];
        }
    }
    return true;
}

bool CImage::FastClear(CColour colour)
{
    if (m_writeMask.GetValue())
        return false;
    uint8_t pixel[4];
    WritePixel(pixel, colour);
    int bpp = m_format.bytesPerPixel;
    uint8_t* first = m_pixels;
    for (int i = 0; i < m_width; ++i)
        std::memcpy(first + ptrdiff_t(i) * bpp, pixel, bpp);
    for (int row = 1; row < m_height; ++row)
        std::memcpy(GetRow(row), first, size_t(m_width) * bpp);
    return true;
}

} // namespace Zorlin
