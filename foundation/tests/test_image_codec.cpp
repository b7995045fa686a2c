#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "foundation/Image.h"
#include "foundation/ImageCodecBmp.h"
#include "foundation/ImageCodecJpg.h"
#include "foundation/ImageCodecPng.h"
#include "foundation/ImageCodecTga.h"
#include "foundation/MemFile.h"
#include "foundation/Win32File.h"

using Zorlin::CColour;
using Zorlin::CFile;
using Zorlin::CImage;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CWin32File;

namespace {

typedef std::vector<uint8_t> Bytes;

std::string Capture(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

bool HaveConvert() { return system("convert -version >/dev/null 2>&1") == 0; }

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

// A memory file named like a disk file, holding the bytes.
void Fill(CMemFile& file, const char* name, const Bytes& data)
{
    file.Open(CString(name), CFile::kModeRead | CFile::kModeWrite);
    if (!data.empty())
        file.Write(data.data(), unsigned(data.size()));
    file.Seek(0, CFile::kSeekStart);
}

Bytes Contents(CMemFile& file)
{
    Bytes data(file.GetSize());
    file.Seek(0, CFile::kSeekStart);
    if (!data.empty())
        file.Read(data.data(), unsigned(data.size()));
    return data;
}

// Pixels as blue, green, red, alpha bytes, row after row.
Bytes Bgra(const CImage& image)
{
    Bytes out;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x) {
            uint32_t v = image.GetPixel(x, y).GetValue();
            out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
        }
    return out;
}

struct STempDir {
    std::string path;
    STempDir()
    {
        char name[] = "/tmp/rookwell-codec-XXXXXX";
        path = mkdtemp(name) ? name : "/tmp";
    }
    ~STempDir() { system(("rm -rf '" + path + "'").c_str()); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

std::string Testdata(const std::string& name) { return std::string(ROOKWELL_TESTDATA) + "/" + name; }

std::vector<std::string> PngSuite()
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(Testdata("pngsuite").c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0)
                names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

// The PNG's pixels as ImageMagick decodes them: red, green, blue, alpha,
// the stored values (no gamma applied), scaled to 8 bits.
Bytes MagickRgba(const std::string& path)
{
    std::string raw = Capture("convert '" + path + "' -set colorspace sRGB -depth 8 rgba:- 2>/dev/null");
    return Bytes(raw.begin(), raw.end());
}

// Smooth content with some edges: what a photo or a board looks like.
void Picture(CImage& image)
{
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x) {
            double r = 128 + 90 * std::sin(x / 9.0) * std::cos(y / 13.0);
            double g = 100 + 60 * std::cos((x + y) / 17.0);
            double b = 60 + 2 * x + y;
            image.SetPixel(x, y, CColour(int(r), int(g), int(b) & 0xFF, 255));
        }
}

double Psnr(const Bytes& a, const Bytes& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    double mse = sum / double(a.size());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

Bytes RgbOf(const CImage& image)
{
    Bytes out;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x) {
            CColour c = image.GetPixel(x, y);
            out.insert(out.end(), {uint8_t(c.GetRed()), uint8_t(c.GetGreen()), uint8_t(c.GetBlue())});
        }
    return out;
}

uint32_t Crc(const uint8_t* p, size_t n) { return uint32_t(crc32(0, p, uInt(n))); }

struct SChunk {
    size_t offset; // of the length field
    uint32_t length;
    std::string type;
};

std::vector<SChunk> Chunks(const Bytes& png)
{
    std::vector<SChunk> chunks;
    for (size_t at = 8; at + 12 <= png.size();) {
        uint32_t length = uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        chunks.push_back({at, length, std::string(png.begin() + long(at) + 4, png.begin() + long(at) + 8)});
        at += 12 + length;
    }
    return chunks;
}

int LoadPng(const Bytes& data, CImage& image, int format = 22)
{
    CMemFile file;
    Fill(file, "x.png", data);
    return image.Load(file, format);
}

} // namespace

TEST(ImageCodec, GeneratedBmpAndTgaFixtures)
{
    STempDir dir;
    std::string command = "python3 '" + std::string(ROOKWELL_SOURCE) +
                          "/foundation/tests/test_image_fixtures.py' '" + dir.path + "'";
    ASSERT_EQ(system(command.c_str()), 0);
    std::ifstream manifest(dir / "manifest.txt");
    std::string line;
    int checked = 0;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string name, outcome;
        fields >> name >> outcome;
        int width = 0, height = 0, stored = 0, offset = 0;
        if (outcome == "ok")
            fields >> width >> height >> stored;
        fields >> offset;
        SCOPED_TRACE(name);
        for (int format : {22, 26}) {
            CWin32File file((dir / name).c_str(), CFile::kModeRead);
            ASSERT_TRUE(file.IsOpen());
            ASSERT_TRUE(file.Seek(offset, CFile::kSeekStart));
            CImage image;
            int result = image.Load(file, format);
            if (outcome == "fail") {
                EXPECT_EQ(result, 3);
                continue;
            }
            ASSERT_EQ(result, 0);
            ASSERT_EQ(image.GetWidth(), width);
            ASSERT_EQ(image.GetHeight(), height);
            EXPECT_EQ(image.GetPixelFormatIndex(), format == 26 ? stored : 22);
            EXPECT_EQ(Bgra(image), ReadAll(dir / (name + ".bgra")));
        }
        ++checked;
    }
    EXPECT_GE(checked, 30);
}

TEST(ImageCodec, CodecResultsForRefusedFiles)
{
    Zorlin::CImageCodecBmp bmp;
    Zorlin::CImageCodecTga tga;
    CImage image;
    // 1- and 4-bit bitmaps: not of the expected kind.
    Bytes mono = {'B', 'M'};
    mono.resize(54 + 8 + 8);
    mono[10] = 62;
    mono[14] = 40;
    mono[18] = 8;
    mono[22] = 2;
    mono[26] = 1;
    mono[28] = 1;
    CMemFile file;
    Fill(file, "a.bmp", mono);
    EXPECT_EQ(bmp.Load(file, image, true, 26), 4);
    mono[28] = 4;
    Fill(file, "a.bmp", mono);
    EXPECT_EQ(bmp.Load(file, image, true, 26), 4);
    // Run-length TGA: a variant not handled.
    Bytes rle(18 + 12, 0);
    rle[2] = 10;
    rle[12] = 2;
    rle[14] = 2;
    rle[16] = 24;
    Fill(file, "a.tga", rle);
    EXPECT_EQ(tga.Load(file, image, true, 26), 6);
    rle[2] = 2;
    rle[12] = 0;
    Fill(file, "a.tga", rle);
    EXPECT_EQ(tga.Load(file, image, true, 26), 7);
    // A BMP saved under a JPEG name goes to the JPEG codec and fails.
    CImage picture(4, 4, 20);
    picture.Clear(CColour::Red);
    CMemFile out;
    Fill(out, "a.bmp", {});
    ASSERT_EQ(picture.Save(out), 0);
    CMemFile misnamed;
    Fill(misnamed, "a.jpg", Contents(out));
    EXPECT_EQ(image.Load(misnamed), 3);
}

TEST(ImageCodec, BmpAndTgaSaveAndReload)
{
    std::mt19937 rng(31);
    struct SCase { int format; const char* ext; int loadedAs; bool alpha; };
    const SCase cases[] = {{0, "bmp", 0, true},  {1, "bmp", 0, false}, {20, "bmp", 20, false},
                           {19, "bmp", 20, false}, {22, "bmp", 20, false}, {17, "bmp", 20, false},
                           {0, "tga", 0, true},  {20, "tga", 20, false}, {22, "tga", 22, true},
                           {23, "tga", 22, true}, {12, "tga", 20, false}, {8, "tga", 20, false}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.format) + "." + c.ext);
        CImage image(3 + int(rng() % 6), 1 + int(rng() % 5), c.format);
        for (int y = 0; y < image.GetHeight(); ++y)
            for (int x = 0; x < image.GetBytesPerRow(); ++x)
                image.GetRow(y)[x] = uint8_t(rng());
        if (c.format == 0)
            for (int i = 0; i < 256; ++i)
                *image.GetPalette().GetAt(i) = CColour(uint32_t(rng()));
        CMemFile file;
        Fill(file, (std::string("x.") + c.ext).c_str(), {});
        ASSERT_EQ(image.Save(file), 0);
        Bytes saved = Contents(file);
        if (c.ext[0] == 'b') { // rows padded to 4 bytes with zeros
            int bpp = c.loadedAs == 0 ? 1 : 3;
            size_t row = (size_t(image.GetWidth()) * bpp + 3) & ~size_t(3);
            size_t header = 54 + (bpp == 1 ? 1024 : 0);
            ASSERT_EQ(saved.size(), header + row * size_t(image.GetHeight()));
            for (int y = 0; y < image.GetHeight(); ++y)
                for (size_t k = size_t(image.GetWidth()) * bpp; k < row; ++k)
                    ASSERT_EQ(saved[header + y * row + k], 0);
        } else {
            ASSERT_EQ(saved[17] & 0x20, 0); // bottom row first
        }
        file.Seek(0, CFile::kSeekStart);
        CImage loaded;
        ASSERT_EQ(loaded.Load(file), 0);
        EXPECT_EQ(loaded.GetPixelFormatIndex(), c.loadedAs);
        ASSERT_EQ(loaded.GetWidth(), image.GetWidth());
        for (int y = 0; y < image.GetHeight(); ++y)
            for (int x = 0; x < image.GetWidth(); ++x) {
                CColour want = image.GetPixel(x, y), got = loaded.GetPixel(x, y);
                ASSERT_EQ(got.GetValue() & 0xFFFFFF, want.GetValue() & 0xFFFFFF) << x << "," << y;
                if (c.alpha) {
                    ASSERT_EQ(got.GetAlpha(), want.GetAlpha());
                }
            }
    }
    // Grey bitmaps keep grey values as indices of a grey palette.
    CImage grey(2, 1, 1);
    grey.GetPixels()[0] = 17;
    grey.GetPixels()[1] = 200;
    CMemFile file;
    Fill(file, "g.bmp", {});
    ASSERT_EQ(grey.Save(file), 0);
    file.Seek(0, CFile::kSeekStart);
    CImage back;
    ASSERT_EQ(back.Load(file, 1), 0);
    EXPECT_EQ(back.GetPixels()[0], 17);
    EXPECT_EQ(back.GetPixels()[1], 200);
}

TEST(ImageCodec, ImageMagickReadsOurBmpAndTga)
{
    if (!HaveConvert())
        GTEST_SKIP() << "ImageMagick is not installed";
    STempDir dir;
    std::mt19937 rng(32);
    struct SCase { int format; const char* ext; bool alpha; };
    const SCase cases[] = {{0, "bmp", false}, {1, "bmp", false}, {20, "bmp", false}, {21, "bmp", false},
                           {0, "tga", false}, {20, "tga", false}, {22, "tga", true}, {16, "tga", false}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.format) + "." + c.ext);
        CImage image(7, 5, c.format);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < image.GetBytesPerRow(); ++x)
                image.GetRow(y)[x] = uint8_t(rng());
        if (c.format == 0)
            for (int i = 0; i < 256; ++i)
                *image.GetPalette().GetAt(i) = CColour(uint32_t(rng()) | 0xFF000000u);
        std::string path = dir / (std::to_string(c.format) + "." + c.ext);
        ASSERT_EQ(image.Save(path.c_str()), 0);
        std::string raw = Capture("convert '" + path + "' -auto-orient -depth 8 rgba:- 2>/dev/null");
        ASSERT_EQ(raw.size(), size_t(7 * 5 * 4));
        for (int i = 0; i < 35; ++i) {
            CColour want = image.GetPixel(i % 7, i / 7);
            ASSERT_EQ(uint8_t(raw[4 * i]), want.GetRed()) << i;
            ASSERT_EQ(uint8_t(raw[4 * i + 1]), want.GetGreen()) << i;
            ASSERT_EQ(uint8_t(raw[4 * i + 2]), want.GetBlue()) << i;
            if (c.alpha) {
                ASSERT_EQ(uint8_t(raw[4 * i + 3]), want.GetAlpha()) << i;
            }
        }
    }
}

TEST(ImageCodec, WeReadImageMagickBmp)
{
    if (!HaveConvert())
        GTEST_SKIP() << "ImageMagick is not installed";
    STempDir dir;
    std::mt19937 rng(33);
    int w = 13, h = 6;
    Bytes rgb(size_t(w * h * 3));
    for (auto& b : rgb)
        b = uint8_t(rng() % 4 * 80); // few colours, so a palette fits
    std::string header = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    Bytes ppm(header.begin(), header.end());
    ppm.insert(ppm.end(), rgb.begin(), rgb.end());
    WriteAll(dir / "in.ppm", ppm);
    // Palette bitmaps come run-length encoded unless told otherwise.
    const char* variants[] = {"BMP3:", "-type Palette BMP3:", "-type Palette -compress None BMP3:",
                              "BMP:", "-type TrueColorAlpha BMP:"};
    for (const char* variant : variants) {
        SCOPED_TRACE(variant);
        std::string words(variant);
        size_t colon = words.rfind(' ');
        std::string options = colon == std::string::npos ? "" : words.substr(0, colon);
        std::string prefix = colon == std::string::npos ? words : words.substr(colon + 1);
        std::string out = dir / "out.bmp";
        ASSERT_EQ(system(("convert '" + (dir / "in.ppm") + "' " + options + " " + prefix + "'" + out + "'").c_str()), 0);
        CImage image(out.c_str(), 26);
        ASSERT_EQ(image.GetLastError(), 0);
        EXPECT_EQ(RgbOf(image), rgb);
    }
}

TEST(ImageCodec, JpegRoundTrip)
{
    CImage picture(64, 48, 22);
    Picture(picture);
    CMemFile file;
    Fill(file, "p.jpg", {});
    ASSERT_EQ(picture.Save(file), 0); // a 32-bit image is converted to 24-bit first
    Bytes jpeg = Contents(file);
    ASSERT_GT(jpeg.size(), 100u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);

    file.Seek(0, CFile::kSeekStart);
    CImage loaded;
    ASSERT_EQ(loaded.Load(file), 0);
    EXPECT_EQ(loaded.GetPixelFormatIndex(), 19);
    ASSERT_EQ(loaded.GetWidth(), 64);
    ASSERT_EQ(loaded.GetHeight(), 48);
    double psnr = Psnr(RgbOf(picture), RgbOf(loaded));
    EXPECT_GT(psnr, 30.0);

    if (HaveConvert()) {
        STempDir dir;
        WriteAll(dir / "p.jpg", jpeg);
        std::string raw = Capture("convert '" + (dir / "p.jpg") + "' -depth 8 rgb:- 2>/dev/null");
        Bytes theirs(raw.begin(), raw.end());
        ASSERT_EQ(theirs.size(), size_t(64 * 48 * 3));
        EXPECT_GT(Psnr(RgbOf(picture), theirs), 30.0);
        EXPECT_GT(Psnr(RgbOf(loaded), theirs), 40.0); // the same decoder library
        // Quality 80: ImageMagick estimates the quality from the tables.
        EXPECT_EQ(Capture("identify -format %Q '" + (dir / "p.jpg") + "'"), "80");
        ASSERT_EQ(system(("convert '" + (dir / "p.jpg") + "' -colorspace Gray '" + (dir / "g.jpg") + "'").c_str()), 0);
        CImage grey((dir / "g.jpg").c_str(), 26);
        EXPECT_EQ(grey.GetLastError(), 0);
        EXPECT_EQ(grey.GetPixelFormatIndex(), 1);
    }

    // Loaded into an image that must keep its size and format.
    CImage kept(20, 10, 22);
    kept.Clear(CColour::Magenta);
    file.Seek(0, CFile::kSeekStart);
    ASSERT_EQ(kept.Load(file, 26, false), 0);
    EXPECT_EQ(kept.GetPixelFormatIndex(), 22);
    EXPECT_EQ(kept.GetWidth(), 20);
    EXPECT_NEAR(kept.GetPixel(5, 5).GetRed(), loaded.GetPixel(5, 5).GetRed(), 0);
}

TEST(ImageCodec, JpegTruncatedAndEmpty)
{
    CImage picture(64, 64, 19);
    Picture(picture);
    CMemFile file;
    Fill(file, "p.jpg", {});
    ASSERT_EQ(picture.Save(file), 0);
    Bytes jpeg = Contents(file);

    // Cut short after the header: the rest decodes from the inserted end.
    size_t scan = 0;
    for (size_t i = 0; i + 1 < jpeg.size() && !scan; ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA)
            scan = i;
    ASSERT_GT(scan, 0u);
    Bytes cut(jpeg.begin(), jpeg.begin() + long(scan + (jpeg.size() - scan) / 2));
    CMemFile part;
    Fill(part, "p.jpg", cut);
    CImage image;
    EXPECT_EQ(image.Load(part, 26), 0);
    EXPECT_EQ(image.GetHeight(), 64);
    // The top rows arrived whole.
    CImage top, original;
    top.CreateView(image, 0, 0, 64, 8);
    original.CreateView(picture, 0, 0, 64, 8);
    EXPECT_GT(Psnr(RgbOf(original), RgbOf(top)), 30.0);

    Zorlin::CImageCodecJpg codec;
    CMemFile empty;
    Fill(empty, "e.jpg", {});
    EXPECT_EQ(codec.Load(empty, image, true, 26), 2);
    CMemFile noise;
    Fill(noise, "n.jpg", Bytes(5000, 0x55));
    EXPECT_EQ(codec.Load(noise, image, true, 26), 2);
    CMemFile readOnly;
    readOnly.Open(CString("r.jpg"), CFile::kModeRead);
    EXPECT_EQ(codec.Save(readOnly, picture), 3);
    CImage none;
    EXPECT_EQ(codec.Save(file, none), 7);
}

TEST(ImageCodec, PngSuiteMatchesImageMagick)
{
    std::vector<std::string> names = PngSuite();
    ASSERT_GE(names.size(), 50u);
    bool magick = HaveConvert();
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        std::string path = Testdata("pngsuite/" + name);
        CImage image(path.c_str(), 22);
        ASSERT_EQ(image.GetLastError(), 0);
        CImage stored(path.c_str(), 26);
        ASSERT_EQ(stored.GetLastError(), 0);
        int kind = stored.GetPixelFormatIndex();
        // Alpha comes through for grey-alpha, RGBA and RGB with a transparent colour.
        bool alpha = kind == 8 || kind == 21;
        if (name.find("n3p") != std::string::npos) {
            EXPECT_EQ(kind, 0);
        }
        if (name.find("n0g") != std::string::npos) {
            EXPECT_EQ(kind, 1);
        }
        if (name.find("n4a") != std::string::npos) {
            EXPECT_EQ(kind, 8);
        }
        if (name.find("n6a") != std::string::npos) {
            EXPECT_EQ(kind, 21);
        }
        if (!magick)
            continue;
        Bytes theirs = MagickRgba(path);
        ASSERT_EQ(theirs.size(), size_t(image.GetWidth()) * image.GetHeight() * 4);
        int tolerance = name.find("16") != std::string::npos ? 1 : 0; // 16 bits stripped, not rounded
        Bytes ours = Bgra(image);
        for (size_t i = 0; i < ours.size(); i += 4) {
            ASSERT_LE(std::abs(ours[i + 2] - theirs[i]), tolerance) << "pixel " << i / 4;
            ASSERT_LE(std::abs(ours[i + 1] - theirs[i + 1]), tolerance) << "pixel " << i / 4;
            ASSERT_LE(std::abs(ours[i] - theirs[i + 2]), tolerance) << "pixel " << i / 4;
            if (alpha) {
                ASSERT_LE(std::abs(ours[i + 3] - theirs[i + 3]), tolerance) << "pixel " << i / 4;
            }
        }
    }
}

TEST(ImageCodec, PngIntoExistingImages)
{
    std::string path = Testdata("pngsuite/basn6a08.png");
    CImage reference(path.c_str(), 22);
    ASSERT_EQ(reference.GetLastError(), 0);
    ASSERT_EQ(reference.GetWidth(), 32);

    // Asking for blue-green-red order decodes straight into format 22.
    CImage direct(32, 32, 22);
    CWin32File file(path.c_str(), CFile::kModeRead);
    ASSERT_EQ(direct.Load(file, 22, false), 0);
    EXPECT_EQ(Bgra(direct), Bgra(reference));

    // An image in another format with the same requested format must not
    // receive RGBA rows as they are.
    CImage narrow(32, 32, 19);
    narrow.Clear(CColour::Black);
    file.Seek(0, CFile::kSeekStart);
    ASSERT_EQ(narrow.Load(file, 21, false), 0);
    EXPECT_EQ(narrow.GetPixelFormatIndex(), 21);
    EXPECT_EQ(RgbOf(narrow), RgbOf(reference));

    // A smaller image keeps its size and receives the top-left corner.
    CImage small(10, 7, 22);
    file.Seek(0, CFile::kSeekStart);
    ASSERT_EQ(small.Load(file, 26, false), 0);
    EXPECT_EQ(small.GetWidth(), 10);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(small.GetPixel(x, y), reference.GetPixel(x, y));

    // A palette PNG into an existing palette image brings its palette.
    CImage indexed(32, 32, 0);
    CWin32File palette(Testdata("pngsuite/basn3p08.png").c_str(), CFile::kModeRead);
    ASSERT_EQ(indexed.Load(palette, 26, false), 0);
    CImage paletteReference(Testdata("pngsuite/basn3p08.png").c_str(), 22);
    EXPECT_EQ(RgbOf(indexed), RgbOf(paletteReference));
}

TEST(ImageCodec, CorruptPngsFailCleanly)
{
    Bytes good = ReadAll(Testdata("pngsuite/basn2c08.png"));
    ASSERT_GT(good.size(), 100u);
    CImage image;
    ASSERT_EQ(LoadPng(good, image), 0);
    std::vector<SChunk> chunks = Chunks(good);
    const SChunk* idat = nullptr;
    const SChunk* ihdr = nullptr;
    for (const SChunk& c : chunks) {
        if (c.type == "IDAT" && !idat)
            idat = &c;
        if (c.type == "IHDR")
            ihdr = &c;
    }
    ASSERT_TRUE(idat && ihdr);

    // Cut anywhere before the end of the image data.
    size_t end = idat->offset + 8 + idat->length;
    for (size_t length = 0; length < end; length += 1 + length / 7) {
        CImage cut;
        EXPECT_EQ(LoadPng(Bytes(good.begin(), good.begin() + long(length)), cut), 3) << length;
    }
    // A changed byte in the image data fails its checksum.
    Bytes flipped = good;
    flipped[idat->offset + 8 + idat->length / 2] ^= 0x20;
    EXPECT_EQ(LoadPng(flipped, image), 3);
    // Headers with impossible fields, their checksums made right.
    auto withHeader = [&](size_t field, uint8_t value) {
        Bytes bad = good;
        bad[ihdr->offset + 8 + field] = value;
        uint32_t crc = Crc(&bad[ihdr->offset + 4], 4 + ihdr->length);
        size_t at = ihdr->offset + 8 + ihdr->length;
        bad[at] = uint8_t(crc >> 24);
        bad[at + 1] = uint8_t(crc >> 16);
        bad[at + 2] = uint8_t(crc >> 8);
        bad[at + 3] = uint8_t(crc);
        return bad;
    };
    EXPECT_EQ(LoadPng(withHeader(8, 3), image), 3);  // bit depth 3
    EXPECT_EQ(LoadPng(withHeader(9, 7), image), 3);  // colour type 7
    EXPECT_EQ(LoadPng(withHeader(3, 0), image), 3);  // width 0
    EXPECT_EQ(LoadPng(withHeader(0, 0x7F), image), 3); // width beyond the cap
    EXPECT_EQ(LoadPng(withHeader(12, 2), image), 3); // unknown interlace method
    Bytes notPng = good;
    notPng[1] = 'Q';
    Zorlin::CImageCodecPng codec;
    CMemFile file;
    Fill(file, "x.png", notPng);
    EXPECT_EQ(codec.Load(file, image, true, 26), 4);
    Fill(file, "x.png", flipped);
    EXPECT_EQ(codec.Load(file, image, true, 26), 2);
}

// A few hundred bytes may claim a picture of hundreds of megabytes: the
// loaders compare the claimed size with the caller's limit before they
// decode or allocate anything.
TEST(ImageCodec, ClaimedSizesPastTheCallersLimitAreRefusedUnread)
{
    struct SCase {
        const char* name;
        void (*patch)(Bytes& bytes, int width, int height);
        CImage::CCodec* codec;
    };
    Zorlin::CImageCodecBmp bmp;
    Zorlin::CImageCodecTga tga;
    Zorlin::CImageCodecJpg jpg;
    const SCase cases[] = {
        {"p.bmp",
         [](Bytes& b, int w, int h) {
             for (int i = 0; i < 4; ++i) {
                 b[18 + i] = uint8_t(w >> (8 * i));
                 b[22 + i] = uint8_t(h >> (8 * i));
             }
         },
         &bmp},
        {"p.tga",
         [](Bytes& b, int w, int h) {
             b[12] = uint8_t(w), b[13] = uint8_t(w >> 8);
             b[14] = uint8_t(h), b[15] = uint8_t(h >> 8);
         },
         &tga},
        {"p.jpg",
         [](Bytes& b, int w, int h) {
             for (size_t i = 2; i + 9 < b.size(); ++i) {
                 if (b[i] == 0xFF && (b[i + 1] == 0xC0 || b[i + 1] == 0xC2)) {
                     b[i + 5] = uint8_t(h >> 8), b[i + 6] = uint8_t(h);
                     b[i + 7] = uint8_t(w >> 8), b[i + 8] = uint8_t(w);
                     return;
                 }
             }
             ADD_FAILURE() << "no frame header";
         },
         &jpg},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        CImage picture(16, 16, 19);
        Picture(picture);
        CMemFile saved;
        Fill(saved, c.name, {});
        ASSERT_EQ(picture.Save(saved), 0);
        const Bytes original = Contents(saved);

        CMemFile whole;
        Fill(whole, c.name, original);
        CImage small;
        small.SetLoadLimit(16);
        EXPECT_EQ(c.codec->Load(whole, small, true, CImage::FORMAT_NONE), 0) << "a picture within the limit loads";

        Bytes huge = original;
        c.patch(huge, 8192, 8191);
        CMemFile bomb;
        Fill(bomb, c.name, huge);
        CImage texture;
        texture.SetLoadLimit(CImage::kMaxPictureSide);
        EXPECT_EQ(c.codec->Load(bomb, texture, true, CImage::FORMAT_NONE), CImage::ERR_ALLOC);
        EXPECT_FALSE(texture.HasPixels());

        Bytes wide = original;
        c.patch(wide, 17, 16);
        CMemFile over;
        Fill(over, c.name, wide);
        CImage again;
        again.SetLoadLimit(16);
        EXPECT_EQ(c.codec->Load(over, again, true, CImage::FORMAT_NONE), CImage::ERR_ALLOC);
    }
}
