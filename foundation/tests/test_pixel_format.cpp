#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "foundation/Image.h"

using Zorlin::CColour;
using Zorlin::CImage;

namespace {

// Hard-wired readers and writers of formats 23 and 24 carry alpha in the
// fourth byte, like 21 and 22; their generic counterparts are those of 21 and 22.
int GenericTwin(int format) { return format == 23 ? 21 : format == 24 ? 22 : format; }

uint32_t Bytes(const uint8_t* p, int n)
{
    uint32_t v = 0;
    std::memcpy(&v, p, size_t(n));
    return v;
}

void FillRandom(CImage& image, std::mt19937& rng)
{
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetBytesPerRow(); ++x)
            image.GetRow(y)[x] = uint8_t(rng());
}

void RandomPalette(CImage& image, std::mt19937& rng)
{
    image.SetPaletteSize(256);
    for (int i = 0; i < 256; ++i)
        *image.GetPalette().GetAt(i) = CColour(uint32_t(rng()));
}

} // namespace

TEST(PixelFormat, HardWiredReadersEqualGenericOnEveryValue)
{
    std::mt19937 rng(11);
    for (int f = 1; f < CImage::FORMAT_COUNT; ++f) {
        int bpp = CImage::GetPixelFormat(f).bytesPerPixel;
        uint8_t pixel[4] = {};
        CImage image(pixel, 1, 1, f, 4);
        CImage twin(pixel, 1, 1, GenericTwin(f), 4);
        ASSERT_EQ(image.GetPixelFormatIndex(), f);
        uint32_t count = bpp <= 2 ? (1u << (8 * bpp)) : 200000;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t v = bpp <= 2 ? i : uint32_t(rng());
            std::memcpy(pixel, &v, 4);
            ASSERT_EQ(image.ReadPixel(pixel).GetValue(), CImage::ReadGeneric(pixel, twin).GetValue())
                << "format " << f << " value " << std::hex << v;
        }
    }
}

TEST(PixelFormat, HardWiredWritersEqualGeneric)
{
    std::mt19937 rng(12);
    std::vector<uint32_t> colours;
    for (int i = 0; i < 100000; ++i)
        colours.push_back(uint32_t(rng()));
    for (uint32_t c = 0; c < 256; ++c) // each channel through its whole range
        for (int shift = 0; shift < 32; shift += 8)
            colours.push_back((uint32_t(rng()) & ~(0xFFu << shift)) | c << shift);
    for (int f = 1; f < CImage::FORMAT_COUNT; ++f) {
        int bpp = CImage::GetPixelFormat(f).bytesPerPixel;
        uint8_t a[4], b[4];
        CImage image(a, 1, 1, f, 4);
        CImage twin(b, 1, 1, GenericTwin(f), 4);
        for (uint32_t c : colours) {
            std::memset(a, 0xAA, 4);
            std::memset(b, 0xAA, 4);
            image.WritePixel(a, CColour(c));
            CImage::WriteGeneric(b, CColour(c), twin);
            ASSERT_EQ(Bytes(a, bpp), Bytes(b, bpp)) << "format " << f << " colour " << std::hex << c;
            ASSERT_EQ(a[bpp < 4 ? bpp : 3], b[bpp < 4 ? bpp : 3]) << "wrote past the pixel";
        }
    }
}

TEST(PixelFormat, SixteenBitFormatsSurviveARoundTripThroughTheColourLayout)
{
    // Reading puts the bits at the top of each byte; writing takes the top
    // bits again: every stored value comes back, less bits outside the masks.
    for (int f = 9; f <= 18; ++f) {
        const CImage::SPixelFormat& d = CImage::GetPixelFormat(f);
        uint32_t used = d.red.mask | d.green.mask | d.blue.mask | d.alpha.mask;
        CImage image(1 << 8, 1 << 8, f);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                uint16_t v = uint16_t(y << 8 | x);
                std::memcpy(image.GetRow(y) + 2 * x, &v, 2);
            }
        image.Convert(22);
        ASSERT_EQ(image.GetLastError(), 0);
        image.Convert(f);
        ASSERT_EQ(image.GetLastError(), 0);
        ASSERT_EQ(image.GetPixelFormatIndex(), f);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                uint16_t v;
                std::memcpy(&v, image.GetRow(y) + 2 * x, 2);
                ASSERT_EQ(v, (y << 8 | x) & used) << "format " << f;
            }
    }
}

TEST(PixelFormat, HandComputedValues)
{
    uint8_t p[4] = {0x1F, 0xF8, 0, 0}; // 0xF81F
    CImage f17(p, 1, 1, 17, 4);
    CColour c = f17.ReadPixel(p);
    EXPECT_EQ(c.GetBlue(), 248);
    EXPECT_EQ(c.GetGreen(), 0);
    EXPECT_EQ(c.GetRed(), 248);
    CImage f18(p, 1, 1, 18, 4);
    EXPECT_EQ(f18.ReadPixel(p).GetRed(), 248);
    EXPECT_EQ(f18.ReadPixel(p).GetBlue(), 248);

    CImage f12(p, 1, 1, 12, 4);
    f12.WritePixel(p, CColour(255, 255, 255, 255));
    EXPECT_EQ(Bytes(p, 2), 0xFFFFu);
    f12.WritePixel(p, CColour(255, 255, 255, 0));
    EXPECT_EQ(Bytes(p, 2), 0x7FFFu);
    CImage f16(p, 1, 1, 16, 4);
    f16.WritePixel(p, CColour(255, 255, 255, 255));
    EXPECT_EQ(Bytes(p, 2), 0x7FFFu);

    CImage grey(p, 1, 1, 1, 4);
    grey.WritePixel(p, CColour(90, 60, 30, 0));
    EXPECT_EQ(p[0], 60);

    p[0] = 200;
    p[1] = 10;
    CImage greyAlpha(p, 1, 1, 8, 4);
    EXPECT_EQ(greyAlpha.ReadPixel(p).GetValue(), CColour(200, 200, 200, 10).GetValue());

    // 5-bit 31 reads 248, 4-bit 15 reads 240, a one-bit alpha 128.
    uint16_t v = 0x801F;
    std::memcpy(p, &v, 2);
    EXPECT_EQ(CImage(p, 1, 1, 11, 4).ReadPixel(p).GetValue(), CColour(248, 0, 0, 128).GetValue());
    v = 0xF00F;
    std::memcpy(p, &v, 2);
    EXPECT_EQ(CImage(p, 1, 1, 9, 4).ReadPixel(p).GetValue(), CColour(240, 0, 0, 240).GetValue());

    // Formats 23 and 24 keep alpha in the byte their masks leave out.
    uint8_t q[4] = {1, 2, 3, 4};
    EXPECT_EQ(CImage(q, 1, 1, 23, 4).ReadPixel(q).GetValue(), CColour(1, 2, 3, 4).GetValue());
    EXPECT_EQ(CImage(q, 1, 1, 24, 4).ReadPixel(q).GetValue(), CColour(3, 2, 1, 4).GetValue());
    EXPECT_EQ(CImage(q, 1, 1, 22, 4).ReadPixel(q).GetValue(), 0x04030201u);
}

TEST(PixelFormat, NearestPaletteIndex)
{
    CImage image(4, 4, 0);
    EXPECT_EQ(image.GetPalette().GetCount(), 256);
    image.GetPalette().SetSize(2);
    *image.GetPalette().GetAt(0) = CColour(0, 0, 0, 0);
    *image.GetPalette().GetAt(1) = CColour(2, 2, 2, 0);
    EXPECT_EQ(image.NearestPaletteIndex(CColour(1, 1, 1, 0)), 0);
    EXPECT_EQ(image.NearestPaletteIndex(CColour(3, 3, 3, 0)), 1);
    // Alpha does not count; a tie goes to the earlier entry.
    EXPECT_EQ(image.NearestPaletteIndex(CColour(1, 1, 1, 255)), 0);
    *image.GetPalette().GetAt(1) = CColour(20, 0, 0, 0);
    image.GetPalette().Add(CColour(0, 20, 0, 0));
    EXPECT_EQ(image.NearestPaletteIndex(CColour(10, 10, 0, 0)), 0); // 200 beats 200, 200
    EXPECT_EQ(image.NearestPaletteIndex(CColour(12, 12, 0, 0)), 1);
    image.GetPalette().SetSize(0);
    EXPECT_EQ(image.NearestPaletteIndex(CColour::White), 0);
    // A pixel past a shrunk palette reads black instead of outside it.
    image.GetPixels()[0] = 200;
    EXPECT_EQ(image.GetPixel(0, 0).GetValue(), CColour::Black.GetValue());

    image.SetGreyPalette();
    ASSERT_EQ(image.GetPalette().GetCount(), 256);
    // The first entry closer than 2 wins at once: grey i finds i - 1.
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(image.NearestPaletteIndex(CColour(i, i, i, 77)), i == 0 ? 0 : i - 1);
}

TEST(PixelFormat, FindAndReinterpret)
{
    CImage::SPixelFormat d;
    d.Init(false, 0x7C00, 0x03E0, 0x001F, 0, 0, 16);
    EXPECT_EQ(CImage::FindPixelFormat(d), 16);
    d.Init(false, 0x7C00, 0x03E0, 0x001F, 0x8000, 0, 16);
    EXPECT_EQ(CImage::FindPixelFormat(d), 12);
    d.Init(false, 0x7C00, 0x03E0, 0x001F, 0, 0, 32);
    EXPECT_EQ(CImage::FindPixelFormat(d), int(CImage::FORMAT_CUSTOM));
    for (int f = 0; f < CImage::FORMAT_COUNT; ++f)
        EXPECT_EQ(CImage::FindPixelFormat(CImage::GetPixelFormat(f)), f);

    uint8_t p[4] = {0x1F, 0, 0, 0};
    CImage image(p, 1, 1, 17, 4);
    EXPECT_EQ(image.GetPixel(0, 0).GetRed(), 248);
    image.SetPixelFormat(18);
    EXPECT_EQ(image.GetLastError(), 0);
    EXPECT_EQ(image.GetPixelFormatIndex(), 18);
    EXPECT_EQ(image.GetPixel(0, 0).GetRed(), 0);
    EXPECT_EQ(image.GetPixel(0, 0).GetBlue(), 248);
    EXPECT_EQ(p[0], 0x1F);
    image.SetPixelFormat(19);
    EXPECT_EQ(image.GetLastError(), 2);
    EXPECT_EQ(image.GetPixelFormatIndex(), 18);
    image.SetPixelFormat(0);
    EXPECT_EQ(image.GetLastError(), 2);
}

TEST(PixelFormat, ConvertKeepsSettingsAndComputesRowLength)
{
    CImage image(5, 3, 20);
    EXPECT_EQ(image.GetBytesPerRow(), 16);
    CImage::SRect clip = {1, 1, 3, 2};
    image.SetClipRect(clip);
    image.SetEdgeModes(3, 4);
    image.SetBorderColour(CColour::Red);
    image.SetText("kept");
    image.Clear(CColour(10, 20, 30, 0));
    image.Convert(22);
    EXPECT_EQ(image.GetLastError(), 0);
    EXPECT_EQ(image.GetBytesPerRow(), 20);
    EXPECT_EQ(image.GetPixelFormatIndex(), 22);
    EXPECT_EQ(image.GetClipRect().left, 1);
    EXPECT_EQ(image.GetClipRect().bottom, 2);
    EXPECT_EQ(image.GetEdgeModeX(), 3);
    EXPECT_EQ(image.GetEdgeModeY(), 4);
    EXPECT_EQ(image.GetBorderColour(), CColour::Red);
    EXPECT_EQ(image.GetText(), "kept");
    EXPECT_TRUE(image.OwnsPixels());
    EXPECT_EQ(image.GetPixel(4, 2).GetValue(), CColour(10, 20, 30, 0).GetValue());

    CImage view;
    view.CreateView(image, 1, 1, 2, 2);
    view.Convert(20);
    EXPECT_EQ(view.GetLastError(), 2);
    // An image with views may not move its pixels.
    image.Convert(19);
    EXPECT_EQ(image.GetLastError(), 2);
    image.Convert(23);
    EXPECT_EQ(image.GetLastError(), 0);
    // The view keeps its own descriptor over the rewritten bytes.
    EXPECT_EQ(view.GetPixelFormatIndex(), 22);
    EXPECT_EQ(view.GetPixel(0, 0).GetRed(), 30);

    CImage empty;
    empty.Convert(22);
    EXPECT_EQ(empty.GetLastError(), 2);
}

TEST(PixelFormat, ConversionsEqualPixelByPixelReference)
{
    // Every pair of formats: the converted image equals, pixel by pixel,
    // the target's writer applied to the source's reader.
    std::mt19937 rng(13);
    for (int from = 0; from < CImage::FORMAT_COUNT; ++from)
        for (int to = 0; to < CImage::FORMAT_COUNT; ++to) {
            int w = 1 + int(rng() % 9), h = 1 + int(rng() % 4);
            CImage source(w, h, from);
            FillRandom(source, rng);
            if (from == 0)
                RandomPalette(source, rng);
            CImage copy(w, h, from);
            copy.Blit(source, 0, 0);
            if (from == 0)
                copy.GetPalette() = source.GetPalette();
            copy.Convert(to);
            ASSERT_EQ(copy.GetLastError(), 0) << from << " -> " << to;
            ASSERT_EQ(copy.GetPixelFormatIndex(), to);
            ASSERT_EQ(copy.GetWidth(), w);

            uint8_t ref[4];
            CImage pixel(ref, 1, 1, to, 4);
            if (CImage::GetPixelFormat(to).palettised) {
                pixel.GetPalette() = from == 0 ? source.GetPalette() : copy.GetPalette();
                pixel.SetPaletteSize(256);
            }
            int sbpp = source.GetBytesPerPixel(), dbpp = copy.GetBytesPerPixel();
            if (from == to) { // nothing to convert: the bytes stay
                for (int y = 0; y < h; ++y)
                    ASSERT_EQ(std::memcmp(copy.GetRow(y), source.GetRow(y), size_t(w * sbpp)), 0);
                continue;
            }
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    pixel.WritePixel(ref, source.ReadPixel(source.GetRow(y) + x * sbpp));
                    ASSERT_EQ(Bytes(copy.GetRow(y) + x * dbpp, dbpp), Bytes(ref, dbpp))
                        << from << " -> " << to << " at " << x << "," << y;
                }
        }
}

TEST(PixelFormat, PaletteConversions)
{
    CImage image(2, 1, 0);
    image.GetPalette().SetSize(256);
    *image.GetPalette().GetAt(7) = CColour(1, 2, 3, 4);
    *image.GetPalette().GetAt(9) = CColour(200, 100, 50, 0);
    image.GetPixels()[0] = 7;
    image.GetPixels()[1] = 9;
    image.Convert(22);
    EXPECT_EQ(image.GetPixel(0, 0).GetValue(), CColour(1, 2, 3, 4).GetValue());
    EXPECT_EQ(image.GetPixel(1, 0).GetValue(), CColour(200, 100, 50, 0).GetValue());
    EXPECT_EQ(image.GetPalette().GetCount(), 0);

    // Back to palette format with a palette set first: nearest entries.
    CImage grey(3, 1, 20);
    grey.SetPixel(0, 0, CColour(10, 10, 10, 0));
    grey.SetPixel(1, 0, CColour(250, 250, 250, 0));
    grey.SetPixel(2, 0, CColour(0, 0, 128, 0));
    grey.SetGreyPalette();
    grey.Convert(0);
    EXPECT_EQ(grey.GetPixelFormatIndex(), 0);
    EXPECT_EQ(grey.GetPalette().GetCount(), 256);
    EXPECT_EQ(grey.GetPixels()[0], 9); // entry 9 is within distance 3
    EXPECT_EQ(grey.GetPixels()[1], 249);
    EXPECT_EQ(grey.GetPixels()[2], 43); // 2 x 43^2 + 85^2 is the least
}
