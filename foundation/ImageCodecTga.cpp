#include "foundation/ImageCodecTga.h"

#include <vector>

#include "foundation/File.h"
#include "foundation/ImageCodecSupport.h"

namespace Zorlin {

using namespace ImageCodecSupport;

namespace {

const int kHeaderSize = 18;
const int kColourMapped = 1;
const int kTrueColour = 2;
const uint8_t kTopFirst = 0x20;

struct STgaHeader {
    int idLength, mapType, imageType, mapFirst, mapLength, mapEntryBits;
    int width, height, depth, descriptor;
};

STgaHeader Parse(const uint8_t* h)
{
    STgaHeader t;
    t.idLength = h[0];
    t.mapType = h[1];
    t.imageType = h[2];
    t.mapFirst = U16(h + 3);
    t.mapLength = U16(h + 5);
    t.mapEntryBits = h[7];
    t.width = U16(h + 12);
    t.height = U16(h + 14);
    t.depth = h[16];
    t.descriptor = h[17];
    return t;
}

// Format of 15-, 16-, 24- and 32-bit pixels or colour-map entries; -1 otherwise.
int FormatOfDepth(int bits)
{
    switch (bits) {
    case 15: return 16; // no alpha bit
    case 16: return 12;
    case 24: return 20;
    case 32: return 22;
    default: return -1;
    }
}

int ReadColourMap(CFile& file, const STgaHeader& t, CImage& target)
{
    int entryFormat = FormatOfDepth(t.mapEntryBits);
    int entryBytes = CImage::GetPixelFormat(entryFormat).bytesPerPixel;
    std::vector<uint8_t> map(size_t(t.mapLength) * entryBytes);
    if (!map.empty() && !ReadExact(file, map.data(), unsigned(map.size())))
        return CImage::ERR_FILE;
    target.SetPaletteSize(256);
    for (int i = 0; i < 256; ++i)
        *target.GetPalette().GetAt(i) = CColour::Black;
    if (t.mapLength > 0) {
        CImage entries(map.data(), t.mapLength, 1, entryFormat, int(map.size()));
        for (int i = 0; i < t.mapLength; ++i)
            *target.GetPalette().GetAt(t.mapFirst + i) = entries.GetPixel(i, 0);
    }
    target.SetPaletteChanged();
    return 0;
}

} // namespace

int CImageCodecTga::Load(CFile& file, CImage& image, bool reallocate, int format)
{
    if (!file.IsOpen())
        return CImage::ERR_FILE;
    uint8_t h[kHeaderSize];
    if (!ReadExact(file, h, kHeaderSize))
        return CImage::ERR_FILE;
    STgaHeader t = Parse(h);
    if (t.idLength && !file.Skip(t.idLength))
        return CImage::ERR_FILE;

    int pixelFormat;
    if (t.imageType == kColourMapped) {
        // The palette has 256 entries: a larger colour map is refused.
        if (t.depth != 8 || t.mapType != 1 || FormatOfDepth(t.mapEntryBits) < 0 ||
            t.mapFirst + t.mapLength > 256)
            return CImage::ERR_VARIANT;
        pixelFormat = 0;
    } else if (t.imageType == kTrueColour) {
        pixelFormat = FormatOfDepth(t.depth);
        if (pixelFormat < 0)
            return CImage::ERR_VARIANT;
        if (t.mapType != 0 && t.mapLength > 0 &&
            !file.Skip(t.mapLength * ((t.mapEntryBits + 7) / 8)))
            return CImage::ERR_FILE;
    } else {
        return CImage::ERR_VARIANT;
    }
    if (t.width == 0 || t.height == 0)
        return CImage::ERR_NO_PIXELS;
    if (!image.FitsLoadLimit(t.width, t.height))
        return CImage::ERR_ALLOC;

    CImage temporary;
    CImage* target = ChooseTarget(image, temporary, reallocate, t.width, t.height,
                                  CImage::GetPixelFormat(pixelFormat));
    if (!target)
        return CImage::ERR_NO_PIXELS;
    int result;
    if (t.imageType == kColourMapped && (result = ReadColourMap(file, t, *target)) != 0)
        return result;
    unsigned used = unsigned(t.width) * unsigned(target->GetBytesPerPixel());
    bool topFirst = (t.descriptor & kTopFirst) != 0;
    for (int k = 0; k < t.height; ++k) {
        int row = topFirst ? k : t.height - 1 - k;
        if (!ReadExact(file, target->GetRow(row), used))
            return CImage::ERR_FILE;
    }
    return FinishLoad(image, target, temporary, format);
}

int CImageCodecTga::Save(CFile& file, const CImage& image)
{
    if (!file.IsOpen() || !file.IsWritable())
        return CImage::ERR_FILE;
    if (!image.HasPixels())
        return CImage::ERR_NO_PIXELS;
    const CImage::SPixelFormat& own = image.GetPixelFormat();
    bool palettised = own.palettised;
    int targetFormat = palettised ? 0 : own.bytesPerPixel == 4 ? 22 : 20;
    int bytesPerPixel = CImage::GetPixelFormat(targetFormat).bytesPerPixel;
    int width = image.GetWidth(), height = image.GetHeight();
    if (width > 0xFFFF || height > 0xFFFF)
        return CImage::ERR_VARIANT;
    int mapLength = palettised ? image.GetPalette().GetCount() : 0;
    if (mapLength > 256)
        mapLength = 256;

    uint8_t h[kHeaderSize] = {};
    h[1] = palettised ? 1 : 0;
    h[2] = palettised ? kColourMapped : kTrueColour;
    Put16(h + 5, unsigned(mapLength));
    h[7] = palettised ? 32 : 0;
    Put16(h + 12, unsigned(width));
    Put16(h + 14, unsigned(height));
    h[16] = uint8_t(bytesPerPixel * 8);
    h[17] = bytesPerPixel == 4 ? 8 : 0;
    if (!WriteExact(file, h, kHeaderSize))
        return CImage::ERR_FILE;
    if (mapLength > 0) {
        std::vector<uint8_t> map(size_t(mapLength) * 4);
        for (int i = 0; i < mapLength; ++i)
            Put32(&map[4 * size_t(i)], image.GetPaletteEntry(i).GetValue());
        if (!WriteExact(file, map.data(), unsigned(map.size())))
            return CImage::ERR_FILE;
    }

    const CImage* source = &image;
    CImage converted;
    if (image.GetPixelFormatIndex() != targetFormat) {
        converted.Create(width, height, targetFormat);
        if (!converted.HasPixels())
            return CImage::ERR_ALLOC;
        if (palettised)
            converted.GetPalette() = image.GetPalette();
        converted.Blit(image, 0, 0);
        source = &converted;
    }
    unsigned used = unsigned(width) * unsigned(bytesPerPixel);
    for (int y = height - 1; y >= 0; --y)
        if (!WriteExact(file, source->GetRow(y), used))
            return CImage::ERR_FILE;
    return 0;
}

} // namespace Zorlin
