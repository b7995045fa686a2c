#include "foundation/ImageCodecBmp.h"

#include <algorithm>
#include <vector>

#include "foundation/File.h"
#include "foundation/ImageCodecSupport.h"

namespace Zorlin {

using namespace ImageCodecSupport;

namespace {

const char* const kHeaderLayout = "1144444422444444";
const int kHeaderSize = 54;
const int kFileHeaderSize = 14;
const uint32_t kRgb = 0;
const uint32_t kRle8 = 1;
const uint32_t kBitFields = 3;

struct SBmpHeader {
    uint32_t fileSize, dataOffset, infoSize, compression, coloursUsed;
    int64_t width, height;
    int bitsPerPixel;
};

SBmpHeader Parse(const uint8_t* h)
{
    SBmpHeader b;
    b.fileSize = U32(h + 2);
    b.dataOffset = U32(h + 10);
    b.infoSize = U32(h + 14);
    b.width = int32_t(U32(h + 18));
    b.height = int32_t(U32(h + 22));
    b.bitsPerPixel = U16(h + 28);
    b.compression = U32(h + 30);
    b.coloursUsed = U32(h + 46);
    return b;
}

bool Contiguous(uint32_t mask)
{
    if (!mask)
        return true;
    uint32_t shifted = mask >> __builtin_ctz(mask);
    return (shifted & (shifted + 1)) == 0;
}

// Channel masks of a bit-field bitmap: they follow the 40-byte header, or
// are its own fields in the longer headers.
int ReadMasks(CFile& file, unsigned start, const SBmpHeader& b, CImage::SPixelFormat& format)
{
    uint8_t m[16] = {};
    unsigned count = b.infoSize >= 56 ? 16 : 12;
    if (!file.Seek(int(start + kHeaderSize), CFile::kSeekStart) || !ReadExact(file, m, count))
        return CImage::ERR_FILE;
    uint32_t red = U32(m), green = U32(m + 4), blue = U32(m + 8), alpha = U32(m + 12);
    uint32_t all = b.bitsPerPixel == 32 ? 0xFFFFFFFFu : (1u << b.bitsPerPixel) - 1;
    uint32_t masks[4] = {red, green, blue, alpha};
    uint32_t seen = 0;
    for (uint32_t mask : masks) {
        if (!Contiguous(mask) || (mask & ~all) || (mask & seen))
            return CImage::ERR_VARIANT;
        seen |= mask;
    }
    if (!(red | green | blue))
        return CImage::ERR_VARIANT;
    format.Init(false, red, green, blue, alpha, 0, b.bitsPerPixel);
    return 0;
}

int PixelFormatOf(CFile& file, unsigned start, const SBmpHeader& b, CImage::SPixelFormat& format)
{
    static const int kByDepth[5] = {-1, 0, 16, 20, 22};
    if (b.bitsPerPixel != 8 && b.bitsPerPixel != 16 && b.bitsPerPixel != 24 &&
        b.bitsPerPixel != 32)
        return CImage::ERR_CONTENTS;
    if (b.compression == kBitFields && (b.bitsPerPixel == 16 || b.bitsPerPixel == 32)) {
        int result = ReadMasks(file, start, b, format);
        if (result)
            return result;
        int index = CImage::FindPixelFormat(format);
        if (index != CImage::FORMAT_CUSTOM)
            format = CImage::GetPixelFormat(index);
        return 0;
    }
    // Run-length 8-bit bitmaps are decoded (bottom-up only); other packings are not.
    bool rle8 = b.compression == kRle8 && b.bitsPerPixel == 8 && b.height > 0;
    if (b.compression != kRgb && !rle8)
        return CImage::ERR_VARIANT;
    format = CImage::GetPixelFormat(kByDepth[b.bitsPerPixel / 8]);
    return 0;
}

int ReadPalette(CFile& file, unsigned start, const SBmpHeader& b, CImage& target)
{
    int64_t first = int64_t(start) + kFileHeaderSize + b.infoSize +
                    (b.compression == kBitFields && b.infoSize == 40 ? 12 : 0);
    int64_t room = (int64_t(start) + b.dataOffset - first) / 4;
    int count = room < 0 ? 0 : room > 256 ? 256 : int(room);
    if (b.coloursUsed != 0 && b.coloursUsed < unsigned(count))
        count = int(b.coloursUsed);
    target.SetPaletteSize(256);
    for (int i = 0; i < 256; ++i)
        *target.GetPalette().GetAt(i) = CColour::Black;
    uint8_t entries[1024];
    if (count > 0 && (!file.Seek(int(first), CFile::kSeekStart) ||
                      !ReadExact(file, entries, unsigned(count) * 4)))
        return CImage::ERR_FILE;
    for (int i = 0; i < count; ++i)
        *target.GetPalette().GetAt(i) = CColour(U32(entries + 4 * i));
    target.SetPaletteChanged();
    return 0;
}

// Bytes of the file one at a time, through a small buffer.
class CByteReader {
public:
    explicit CByteReader(CFile& file) : m_file(file), m_at(0), m_count(0) {}
    bool Next(uint8_t& byte)
    {
        if (m_at == m_count) {
            if (!m_file.Read(m_buffer, sizeof m_buffer) || m_file.GetLastReadCount() == 0 ||
                m_file.GetLastReadCount() > sizeof m_buffer)
                return false;
            m_count = m_file.GetLastReadCount();
            m_at = 0;
        }
        byte = m_buffer[m_at++];
        return true;
    }

private:
    CFile& m_file;
    uint8_t m_buffer[4096];
    unsigned m_at, m_count;
};

// Runs of (count, index); a zero count escapes to end of line (0), end of
// picture (1), a jump (2, dx, dy) or a literal run padded to 16 bits.
// Pixels the runs skip stay index 0; runs past the edge are dropped.
int ReadRle8(CFile& file, unsigned start, const SBmpHeader& b, CImage& target)
{
    int width = target.GetWidth(), height = target.GetHeight();
    for (int y = 0; y < height; ++y)
        std::fill(target.GetRow(y), target.GetRow(y) + width, uint8_t(0));
    if (!file.Seek(int(start + b.dataOffset), CFile::kSeekStart))
        return CImage::ERR_FILE;
    CByteReader in(file);
    auto put = [&](int x, int k, uint8_t index) {
        if (x < width && k < height)
            target.GetRow(height - 1 - k)[x] = index;
    };
    int x = 0, k = 0; // k counts rows from the bottom
    uint8_t count, value;
    while (k < height) {
        if (!in.Next(count) || !in.Next(value))
            return CImage::ERR_FILE;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(x++, k, value);
        } else if (value == 0) {
            x = 0;
            ++k;
        } else if (value == 1) {
            return 0;
        } else if (value == 2) {
            uint8_t dx, dy;
            if (!in.Next(dx) || !in.Next(dy))
                return CImage::ERR_FILE;
            x += dx;
            k += dy;
        } else {
            uint8_t index;
            for (int i = 0; i < value; ++i) {
                if (!in.Next(index))
                    return CImage::ERR_FILE;
                put(x++, k, index);
            }
            if ((value & 1) && !in.Next(index))
                return CImage::ERR_FILE;
        }
        if (x > width + 255)
            x = width + 255; // keep the counter bounded on hostile input
    }
    return 0;
}

int ReadRows(CFile& file, unsigned start, const SBmpHeader& b, CImage& target)
{
    if (b.compression == kRle8)
        return ReadRle8(file, start, b, target);
    int width = target.GetWidth(), height = target.GetHeight();
    int64_t stride = ((int64_t(width) * b.bitsPerPixel + 31) / 32) * 4;
    unsigned used = unsigned(width) * unsigned(target.GetBytesPerPixel());
    int padding = int(stride - used);
    bool bottomUp = b.height > 0;
    if (!file.Seek(int(start + b.dataOffset), CFile::kSeekStart))
        return CImage::ERR_FILE;
    for (int k = 0; k < height; ++k) {
        int row = bottomUp ? height - 1 - k : k;
        if (!ReadExact(file, target.GetRow(row), used))
            return CImage::ERR_FILE;
        if (padding && k + 1 < height && !file.Skip(padding))
            return CImage::ERR_FILE;
    }
    return 0;
}

} // namespace

int CImageCodecBmp::Load(CFile& file, CImage& image, bool reallocate, int format)
{
    if (!file.IsOpen())
        return CImage::ERR_FILE;
    unsigned start = file.GetPosition32();
    uint8_t h[kHeaderSize];
    if (!file.ReadRecord(h, kHeaderLayout) || h[0] != 'B' || h[1] != 'M')
        return CImage::ERR_CONTENTS;
    SBmpHeader b = Parse(h);
    if (b.infoSize < 40 || b.dataOffset < unsigned(kHeaderSize) || b.width <= 0 ||
        b.height == 0 || b.width > CImage::kMaxDimension || b.height > CImage::kMaxDimension ||
        -b.height > CImage::kMaxDimension || start > 0x7FFFFFFFu - b.dataOffset)
        return CImage::ERR_CONTENTS;
    if (!image.FitsLoadLimit(b.width, b.height < 0 ? -int64_t(b.height) : b.height))
        return CImage::ERR_ALLOC;
    CImage::SPixelFormat pixelFormat;
    int result = PixelFormatOf(file, start, b, pixelFormat);
    if (result)
        return result;

    int width = int(b.width), height = int(b.height < 0 ? -b.height : b.height);
    CImage temporary;
    CImage* target = ChooseTarget(image, temporary, reallocate, width, height, pixelFormat);
    if (!target)
        return CImage::ERR_ALLOC;
    if (pixelFormat.palettised && (result = ReadPalette(file, start, b, *target)) != 0)
        return result;
    if ((result = ReadRows(file, start, b, *target)) != 0)
        return result;
    return FinishLoad(image, target, temporary, format);
}

int CImageCodecBmp::Save(CFile& file, const CImage& image)
{
    if (!file.IsOpen() || !file.IsWritable())
        return CImage::ERR_FILE;
    if (!image.HasPixels())
        return CImage::ERR_NO_PIXELS;
    // Palette and grey images keep their bytes as indices; every other
    // format is written as 24-bit blue, green, red.
    int index = image.GetPixelFormatIndex();
    bool indexed = index == 0 || index == 1;
    int bytesPerPixel = indexed ? 1 : 3;
    int width = image.GetWidth(), height = image.GetHeight();
    uint32_t rowLength = (uint32_t(width) * bytesPerPixel + 3) & ~3u;
    uint32_t paletteBytes = indexed ? 1024 : 0;

    uint8_t h[kHeaderSize] = {'B', 'M'};
    Put32(h + 2, rowLength * uint32_t(height) + kHeaderSize + paletteBytes);
    Put32(h + 10, kHeaderSize + paletteBytes);
    Put32(h + 14, 40);
    Put32(h + 18, uint32_t(width));
    Put32(h + 22, uint32_t(height));
    Put16(h + 26, 1);
    Put16(h + 28, unsigned(bytesPerPixel * 8));
    Put32(h + 34, rowLength * uint32_t(height));
    Put32(h + 38, 2835);
    Put32(h + 42, 2835);
    Put32(h + 46, indexed ? 256 : 0);
    Put32(h + 50, indexed ? 256 : 0);
    if (!file.WriteRecord(h, kHeaderLayout))
        return CImage::ERR_FILE;

    if (indexed) {
        uint8_t entries[1024];
        for (int i = 0; i < 256; ++i)
            Put32(entries + 4 * i,
                  index == 1 ? CColour(i, i, i, 0).GetValue() : image.GetPaletteEntry(i).GetValue());
        if (!WriteExact(file, entries, sizeof entries))
            return CImage::ERR_FILE;
    }

    const CImage* source = &image;
    CImage converted;
    if (!indexed && index != 20) {
        converted.Create(width, height, 20);
        if (!converted.HasPixels())
            return CImage::ERR_ALLOC;
        converted.Blit(image, 0, 0);
        source = &converted;
    }
    std::vector<uint8_t> row(rowLength, 0);
    size_t used = size_t(width) * bytesPerPixel;
    for (int y = height - 1; y >= 0; --y) {
        std::copy(source->GetRow(y), source->GetRow(y) + used, row.begin());
        if (!WriteExact(file, row.data(), rowLength))
            return CImage::ERR_FILE;
    }
    return 0;
}

} // namespace Zorlin
