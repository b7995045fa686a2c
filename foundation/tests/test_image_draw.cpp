#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "foundation/Image.h"

using Zorlin::CColour;
using Zorlin::CImage;

namespace {

void FillRandom(CImage& image, std::mt19937& rng)
{
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetBytesPerRow(); ++x)
            image.GetRow(y)[x] = uint8_t(rng());
}

std::vector<uint8_t> Snapshot(const CImage& image)
{
    std::vector<uint8_t> bytes;
    for (int y = 0; y < image.GetHeight(); ++y)
        bytes.insert(bytes.end(), image.GetRow(y), image.GetRow(y) + image.GetWidth() * image.GetBytesPerPixel());
    return bytes;
}

uint32_t PixelBytes(const CImage& image, int x, int y)
{
    uint32_t v = 0;
    std::memcpy(&v, image.GetRow(y) + x * image.GetBytesPerPixel(), size_t(image.GetBytesPerPixel()));
    return v;
}

// The bytes the destination's writer makes of a colour.
uint32_t Encoded(const CImage& destination, CColour colour)
{
    uint8_t p[4] = {};
    CImage pixel(p, 1, 1, destination.GetPixelFormatIndex(), 4);
    pixel.GetPalette() = destination.GetPalette();
    pixel.WritePixel(p, colour);
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

const int kDirect[] = {1, 2, 6, 8, 9, 12, 16, 17, 19, 20, 21, 22, 23, 24};

CColour Average(CColour a, CColour b) // a blend function
{
    return CColour((a.GetRed() + b.GetRed()) / 2, (a.GetGreen() + b.GetGreen()) / 2,
                   (a.GetBlue() + b.GetBlue()) / 2, 99);
}

int Mirror(int v, int size)
{
    // Walk reflections one image at a time.
    while (v < 0 || v >= size)
        v = v < 0 ? -1 - v : 2 * size - 1 - v;
    return v;
}

} // namespace

TEST(ImageDraw, BlitMatchesReferenceOnRandomImages)
{
    std::mt19937 rng(21);
    for (int round = 0; round < 3000; ++round) {
        int sw = 1 + int(rng() % 12), sh = 1 + int(rng() % 12);
        int dw = 1 + int(rng() % 12), dh = 1 + int(rng() % 12);
        int sf = kDirect[rng() % (sizeof kDirect / sizeof *kDirect)];
        int df = kDirect[rng() % (sizeof kDirect / sizeof *kDirect)];
        CImage source(sw, sh, sf), dest(dw, dh, df);
        FillRandom(source, rng);
        FillRandom(dest, rng);
        if (rng() % 3 == 0) {
            CImage::SRect clip = {int(rng() % 14) - 2, int(rng() % 14) - 2, int(rng() % 14) - 2,
                                  int(rng() % 14) - 2};
            dest.SetClipRect(clip);
        }
        CImage::SRect rect = CImage::WholeImage;
        if (rng() % 2) // may reach outside the source: the blit clips it
            rect = {int(rng() % 16) - 3, int(rng() % 16) - 3, int(rng() % 16) - 3, int(rng() % 16) - 3};
        int x = int(rng() % 30) - 15, y = int(rng() % 30) - 15;
        std::vector<uint8_t> before = Snapshot(dest);
        CImage reference(dw, dh, df);
        for (int row = 0; row < dh; ++row)
            std::memcpy(reference.GetRow(row), dest.GetRow(row), size_t(dest.GetBytesPerRow()));

        dest.Blit(source, x, y, rect);

        CImage::SRect r = rect.left == -1 ? CImage::SRect{0, 0, sw - 1, sh - 1} : rect;
        const CImage::SRect& clip = dest.GetClipRect();
        int copied = 0;
        if (r.left <= r.right && r.top <= r.bottom)
            for (int dy = 0; dy < dh; ++dy)
                for (int dx = 0; dx < dw; ++dx) {
                    int sx = dx - x + r.left, sy = dy - y + r.top;
                    if (!clip.Contains(dx, dy) || !r.Contains(sx, sy) || sx < 0 || sy < 0 ||
                        sx >= sw || sy >= sh)
                        continue;
                    if (sf == df) // same layout: bytes copied as they are
                        std::memcpy(reference.GetRow(dy) + dx * reference.GetBytesPerPixel(),
                                    source.GetRow(sy) + sx * source.GetBytesPerPixel(),
                                    size_t(source.GetBytesPerPixel()));
                    else
                        reference.SetPixel(dx, dy, source.GetPixel(sx, sy));
                    ++copied;
                }
        if (copied == 0) {
            ASSERT_EQ(dest.GetLastError(), 9) << "round " << round;
            ASSERT_EQ(Snapshot(dest), before);
        } else {
            ASSERT_EQ(dest.GetLastError(), 0) << "round " << round;
            ASSERT_EQ(Snapshot(dest), Snapshot(reference)) << "round " << round << " sf " << sf << " df " << df << " s " << sw << "x" << sh << " d " << dw << "x" << dh << " at " << x << "," << y << " rect " << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom << " clip " << clip.left << "," << clip.top << "," << clip.right << "," << clip.bottom;
        }
    }
}

TEST(ImageDraw, BlitCases)
{
    CImage source(10, 10, 22), dest(10, 10, 22);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            source.SetPixel(x, y, CColour(x, y, 1, 2));
    dest.Clear(CColour::Black);
    dest.Blit(source, -5, -5);
    EXPECT_EQ(dest.GetLastError(), 0);
    EXPECT_EQ(dest.GetPixel(0, 0).GetValue(), CColour(5, 5, 1, 2).GetValue());
    EXPECT_EQ(dest.GetPixel(4, 4).GetValue(), CColour(9, 9, 1, 2).GetValue());
    EXPECT_EQ(dest.GetPixel(5, 5).GetValue(), CColour::Black.GetValue());

    dest.Blit(source, 20, 20);
    EXPECT_EQ(dest.GetLastError(), 9);
    dest.Blit(source, 0, 0, CImage::SRect{5, 0, 4, 3});
    EXPECT_EQ(dest.GetLastError(), 9);

    CImage empty;
    dest.Blit(empty, 0, 0);
    EXPECT_EQ(dest.GetLastError(), 8);
    empty.Blit(source, 0, 0);
    EXPECT_EQ(empty.GetLastError(), 7);

    // A write mask of the alpha byte keeps the destination's alpha.
    dest.Clear(CColour(7, 7, 7, 200));
    dest.SetWriteMask(CColour(0xFF000000u));
    dest.Blit(source, 0, 0);
    EXPECT_EQ(dest.GetPixel(3, 4).GetValue(), CColour(3, 4, 1, 200).GetValue());
    dest.SetWriteMask(CColour(0u));

    // A blend function sees the source and the destination's colour.
    dest.Clear(CColour(100, 100, 100, 0));
    dest.SetBlendFunction(Average);
    dest.Blit(source, 0, 0);
    EXPECT_EQ(dest.GetPixel(2, 6).GetValue(), CColour(51, 53, 50, 99).GetValue());
    dest.SetBlendFunction(nullptr);

    // BlitRect refuses a rectangle that does not fit instead of overrunning.
    dest.BlitRect(source, 5, 5, CImage::SRect{0, 0, 9, 9});
    EXPECT_EQ(dest.GetLastError(), 9);
    dest.BlitRect(source, 0, 0, CImage::SRect{8, 8, 9, 9});
    EXPECT_EQ(dest.GetLastError(), 0);
    EXPECT_EQ(dest.GetPixel(1, 1).GetValue(), CColour(9, 9, 1, 2).GetValue());
}

TEST(ImageDraw, PaletteBlitUsesTheSourcePalette)
{
    CImage source(4, 1, 0), dest(4, 1, 20);
    for (int i = 0; i < 256; ++i)
        *source.GetPalette().GetAt(i) = CColour(i, 255 - i, i / 2, 0);
    for (int x = 0; x < 4; ++x)
        source.GetPixels()[x] = uint8_t(x * 60);
    dest.Blit(source, 0, 0);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(dest.GetPixel(x, 0).GetValue(), CColour(x * 60, 255 - x * 60, x * 30, 0).GetValue());
    // Into a palette image: nearest entries of the destination's palette.
    CImage indexed(4, 1, 0);
    indexed.SetGreyPalette();
    CImage rgb(4, 1, 22);
    rgb.Clear(CColour(100, 100, 100, 0));
    indexed.Blit(rgb, 0, 0);
    EXPECT_EQ(indexed.GetPixels()[3], 99);
}

TEST(ImageDraw, EdgeModes)
{
    CImage image(5, 3, 22);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.SetPixel(x, y, CColour(x, y, 0, 0));
    image.SetBorderColour(CColour::Red);
    image.SetEdgeModes(1, 1);
    EXPECT_EQ(image.GetPixel(-1, 0), CColour::Red);
    EXPECT_EQ(image.GetPixel(0, 3), CColour::Red);
    image.SetEdgeModes(2, 2);
    EXPECT_EQ(image.GetPixel(-1, 0), image.GetPixel(0, 0));
    EXPECT_EQ(image.GetPixel(99, -7), image.GetPixel(4, 0));
    image.SetEdgeModes(3, 3);
    EXPECT_EQ(image.GetPixel(-1, 0), image.GetPixel(4, 0));
    EXPECT_EQ(image.GetPixel(5, 0), image.GetPixel(0, 0));
    image.SetEdgeModes(4, 4);
    EXPECT_EQ(image.GetPixel(-1, 0), image.GetPixel(0, 0));
    EXPECT_EQ(image.GetPixel(5, 0), image.GetPixel(4, 0));

    for (int mode = 2; mode <= 4; ++mode) {
        image.SetEdgeModes(mode, mode);
        for (int y = -20; y <= 20; ++y)
            for (int x = -20; x <= 20; ++x) {
                int ex, ey;
                if (mode == 2) {
                    ex = x < 0 ? 0 : x > 4 ? 4 : x;
                    ey = y < 0 ? 0 : y > 2 ? 2 : y;
                } else if (mode == 3) {
                    ex = ((x % 5) + 5) % 5;
                    ey = ((y % 3) + 3) % 3;
                } else {
                    ex = Mirror(x, 5);
                    ey = Mirror(y, 3);
                }
                ASSERT_EQ(image.GetPixel(x, y).GetValue(), CColour(ex, ey, 0, 0).GetValue())
                    << "mode " << mode << " at " << x << "," << y;
            }
        int v = -11;
        EXPECT_EQ(image.WrapX(v), -3) << "whole widths stepped over";
    }
    CImage empty;
    empty.SetBorderColour(CColour::Blue);
    EXPECT_EQ(empty.GetPixel(0, 0), CColour::Blue);
}

TEST(ImageDraw, ClearFastPathEqualsPixelPath)
{
    std::mt19937 rng(22);
    for (int f = 0; f < CImage::FORMAT_COUNT; ++f)
        for (int k = 0; k < 20; ++k) {
            CImage a(7, 3, f), b(7, 3, f);
            if (f == 0) {
                a.SetGreyPalette();
                b.SetGreyPalette();
            }
            CColour c{uint32_t(rng())};
            if (k % 4 == 0)
                c = CColour(c.GetRed(), c.GetRed(), c.GetRed(), c.GetRed());
            a.Clear(c, true);
            b.Clear(c, false);
            ASSERT_EQ(Snapshot(a), Snapshot(b)) << "format " << f;
            ASSERT_EQ(PixelBytes(a, 6, 2), Encoded(a, c));
        }
    // With a write mask every pixel keeps its masked bits.
    CImage image(3, 3, 22);
    std::mt19937 fill(5);
    FillRandom(image, fill);
    std::vector<uint8_t> before = Snapshot(image);
    image.SetWriteMask(CColour(0x00FF00FFu));
    image.Clear(CColour(0xAABBCCDDu));
    std::vector<uint8_t> after = Snapshot(image);
    for (size_t i = 0; i < after.size(); i += 4) {
        EXPECT_EQ(after[i], before[i]);
        EXPECT_EQ(after[i + 1], 0xCC);
        EXPECT_EQ(after[i + 2], before[i + 2]);
        EXPECT_EQ(after[i + 3], 0xAA);
    }
}

TEST(ImageDraw, FillRectMatchesReference)
{
    std::mt19937 rng(23);
    for (int round = 0; round < 500; ++round) {
        int w = 1 + int(rng() % 10), h = 1 + int(rng() % 10);
        int f = kDirect[rng() % (sizeof kDirect / sizeof *kDirect)];
        CImage image(w, h, f), reference(w, h, f);
        FillRandom(image, rng);
        for (int y = 0; y < h; ++y)
            std::memcpy(reference.GetRow(y), image.GetRow(y), size_t(image.GetBytesPerRow()));
        bool blend = rng() % 2;
        if (blend)
            image.SetBlendFunction(Average);
        if (rng() % 3 == 0)
            image.SetClipRect(CImage::SRect{int(rng() % 6), int(rng() % 6), int(rng() % 12), int(rng() % 12)});
        image.SetWriteMask(CColour(0xFFFFFFFFu)); // does not apply to fills
        CImage::SRect rect = rng() % 4 == 0 ? CImage::WholeImage
                                            : CImage::SRect{int(rng() % 14) - 2, int(rng() % 14) - 2,
                                                            int(rng() % 14) - 2, int(rng() % 14) - 2};
        CColour colour{uint32_t(rng())};
        image.FillRect(colour, rect);

        const CImage::SRect& clip = image.GetClipRect();
        CImage::SRect r = rect.left == -1 ? clip : rect;
        int filled = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (r.Contains(x, y) && clip.Contains(x, y)) {
                    reference.SetPixel(x, y, blend ? Average(colour, reference.GetPixel(x, y)) : colour);
                    ++filled;
                }
        ASSERT_EQ(image.GetLastError(), filled ? 0 : 9) << "round " << round;
        ASSERT_EQ(Snapshot(image), Snapshot(reference)) << "round " << round;
    }
    CImage empty;
    empty.FillRect(CColour::Red, CImage::WholeImage);
    EXPECT_EQ(empty.GetLastError(), 7);
}

TEST(ImageDraw, FlipAndShrink)
{
    std::mt19937 rng(24);
    for (int h = 1; h <= 6; ++h) {
        CImage image(5, h, 20);
        FillRandom(image, rng);
        std::vector<uint8_t> before = Snapshot(image);
        image.FlipVertical();
        std::vector<uint8_t> after = Snapshot(image);
        for (int y = 0; y < h; ++y)
            ASSERT_EQ(std::memcmp(&after[size_t(y) * 15], &before[size_t(h - 1 - y) * 15], 15), 0);
    }
    CImage none;
    none.FlipVertical();

    CImage two(2, 2, 22), one(1, 1, 22);
    int reds[4] = {10, 20, 30, 41};
    for (int i = 0; i < 4; ++i)
        two.SetPixel(i % 2, i / 2, CColour(reds[i], 0, 0, 0));
    two.ShrinkHalf(one);
    EXPECT_EQ(two.GetLastError(), 0);
    EXPECT_EQ(one.GetPixel(0, 0).GetRed(), 25);

    for (int round = 0; round < 20; ++round) {
        int w = 2 + int(rng() % 9), h = 2 + int(rng() % 9);
        CImage source(w, h, 21), half(w / 2, h / 2, 22);
        FillRandom(source, rng);
        source.ShrinkHalf(half);
        for (int y = 0; y < h / 2; ++y)
            for (int x = 0; x < w / 2; ++x)
                for (int k = 0; k < 4; ++k) {
                    int sum = source.GetRow(2 * y)[8 * x + k] + source.GetRow(2 * y)[8 * x + 4 + k] +
                              source.GetRow(2 * y + 1)[8 * x + k] + source.GetRow(2 * y + 1)[8 * x + 4 + k];
                    ASSERT_EQ(half.GetRow(y)[4 * x + k], sum >> 2);
                }
    }
    // Unsafe requests are refused rather than read past the source.
    CImage big(3, 3, 22), small(2, 2, 22), rgb(4, 4, 20);
    small.ShrinkHalf(big);
    EXPECT_EQ(small.GetLastError(), 9);
    rgb.ShrinkHalf(one);
    EXPECT_EQ(rgb.GetLastError(), 2);
    none.ShrinkHalf(one);
    EXPECT_EQ(none.GetLastError(), 7);
    two.ShrinkHalf(none);
    EXPECT_EQ(two.GetLastError(), 7);
}

TEST(ImageDraw, StretchBlit)
{
    CImage source(2, 2, 22), dest(4, 4, 22);
    CColour colours[4] = {CColour(10, 0, 0, 50), CColour(0, 20, 0, 50), CColour(0, 0, 30, 50),
                          CColour(40, 40, 40, 50)};
    for (int i = 0; i < 4; ++i)
        source.SetPixel(i % 2, i / 2, colours[i]);
    dest.StretchBlit(source, 1, CImage::WholeImage, CImage::WholeImage);
    EXPECT_EQ(dest.GetLastError(), 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            CColour c = colours[(y / 2) * 2 + x / 2];
            ASSERT_EQ(dest.GetPixel(x, y).GetValue(), CColour(c.GetRed(), c.GetGreen(), c.GetBlue(), 0).GetValue());
        }

    // Halving with 2 samples a side averages each block, rounded.
    std::mt19937 rng(25);
    CImage big(8, 6, 20), small(4, 3, 20);
    FillRandom(big, rng);
    small.StretchBlit(big, 2, CImage::WholeImage, CImage::WholeImage);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            int sum[3] = {};
            for (int k = 0; k < 4; ++k) {
                CColour c = big.GetPixel(2 * x + k % 2, 2 * y + k / 2);
                sum[0] += c.GetRed();
                sum[1] += c.GetGreen();
                sum[2] += c.GetBlue();
            }
            CColour got = small.GetPixel(x, y);
            EXPECT_NEAR(got.GetRed(), sum[0] / 4.0, 0.5);
            EXPECT_NEAR(got.GetGreen(), sum[1] / 4.0, 0.5);
            EXPECT_NEAR(got.GetBlue(), sum[2] / 4.0, 0.5);
        }

    // Clipping the destination does not shift the picture.
    CImage clipped(4, 4, 22);
    clipped.Clear(CColour::White);
    clipped.SetClipRect(CImage::SRect{1, 1, 2, 3});
    clipped.StretchBlit(source, 1, CImage::WholeImage, CImage::SRect{0, 0, 3, 3});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            ASSERT_EQ(clipped.GetPixel(x, y).GetValue(),
                      (x >= 1 && x <= 2 && y >= 1) ? dest.GetPixel(x, y).GetValue() : CColour::White.GetValue());

    dest.StretchBlit(source, 1, CImage::SRect{0, 0, 2, 1}, CImage::WholeImage);
    EXPECT_EQ(dest.GetLastError(), 9);
    dest.StretchBlit(source, 1, CImage::WholeImage, CImage::SRect{5, 5, 9, 9});
    EXPECT_EQ(dest.GetLastError(), 9);
    dest.StretchBlit(source, 0, CImage::WholeImage, CImage::WholeImage); // no division by zero
    EXPECT_EQ(dest.GetLastError(), 0);
    CImage none;
    dest.StretchBlit(none, 1, CImage::WholeImage, CImage::WholeImage);
    EXPECT_EQ(dest.GetLastError(), 8);

    // Sample points outside the image follow the edge modes.
    source.SetEdgeModes(1, 1);
    source.SetBorderColour(CColour(0, 0, 0, 0));
    EXPECT_EQ(source.SampleArea(-2, 0, 1, 1, 1, 1).GetValue(), 0u);
    source.SetEdgeModes(3, 3);
    EXPECT_EQ(source.SampleArea(-1, 0, 1, 1, 1, 1).GetValue(), CColour(0, 20, 0, 0).GetValue());
}
