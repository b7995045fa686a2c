// Damaged pictures, as they arrive from other people: a bounded, seeded run
// of byte mutations over real files of every codec. Under the sanitizer
// build any read or write outside a buffer fails the run.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "foundation/Image.h"
#include "foundation/MemFile.h"

using Zorlin::CColour;
using Zorlin::CFile;
using Zorlin::CImage;
using Zorlin::CMemFile;
using Zorlin::CString;

namespace {

typedef std::vector<uint8_t> Bytes;

struct SSeed {
    std::string name; // the extension chooses the codec
    Bytes data;
};

Bytes Encode(CImage& image, const char* name)
{
    CMemFile file;
    file.Open(CString(name), CFile::kModeRead | CFile::kModeWrite);
    if (image.Save(file) != 0)
        return {};
    Bytes data(file.GetSize());
    file.Seek(0, CFile::kSeekStart);
    file.Read(data.data(), unsigned(data.size()));
    return data;
}

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<SSeed> Seeds()
{
    std::mt19937 rng(41);
    std::vector<SSeed> seeds;
    const int formats[] = {0, 20, 22};
    for (int format : formats) {
        CImage image(9, 7, format);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < image.GetBytesPerRow(); ++x)
                image.GetRow(y)[x] = uint8_t(rng());
        seeds.push_back({"s.bmp", Encode(image, "s.bmp")});
        seeds.push_back({"s.tga", Encode(image, "s.tga")});
    }
    CImage photo(24, 16, 19);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x)
            photo.SetPixel(x, y, CColour(x * 10, y * 15, 128, 0));
    seeds.push_back({"s.jpg", Encode(photo, "s.jpg")});
    for (const char* name : {"basn0g02.png", "basn3p04.png", "basn4a16.png", "ibasn2c08.png", "ftbwn0g16.png"})
        seeds.push_back({"s.png", ReadFile(std::string(ROOKWELL_TESTDATA) + "/pngsuite/" + name)});
    return seeds;
}

Bytes Mutate(const Bytes& seed, std::mt19937& rng)
{
    Bytes data = seed;
    int edits = 1 + int(rng() % 6);
    for (int i = 0; i < edits && !data.empty(); ++i) {
        size_t at = rng() % data.size();
        switch (rng() % 5) {
        case 0: data[at] ^= uint8_t(1 << (rng() % 8)); break;
        case 1: data[at] = uint8_t(rng()); break;
        case 2: data[at] = (rng() % 2) ? 0xFF : 0x00; break;
        case 3: data.resize(at); break;
        default: data.insert(data.begin() + long(at), uint8_t(rng())); break;
        }
    }
    return data;
}

// Every pixel of an accepted image can be read.
void Touch(const CImage& image)
{
    ASSERT_TRUE(image.HasPixels());
    ASSERT_GT(image.GetWidth(), 0);
    ASSERT_LE(image.GetWidth(), CImage::kMaxDimension);
    ASSERT_LE(image.GetHeight(), CImage::kMaxDimension);
    uint32_t sum = 0;
    for (int y = 0; y < image.GetHeight(); y += 1 + image.GetHeight() / 64)
        for (int x = 0; x < image.GetWidth(); ++x)
            sum += image.GetPixel(x, y).GetValue();
    (void)sum;
}

} // namespace

TEST(ImageFuzz, MutatedFilesNeverBreakTheDecoders)
{
    std::vector<SSeed> seeds = Seeds();
    ASSERT_EQ(seeds.size(), 12u);
    std::mt19937 rng(42);
    int accepted = 0, refused = 0;
    for (const SSeed& seed : seeds) {
        ASSERT_FALSE(seed.data.empty()) << seed.name;
        for (int round = 0; round < 1500; ++round) {
            Bytes data = Mutate(seed.data, rng);
            CMemFile file;
            file.Open(CString(seed.name.c_str()), CFile::kModeRead | CFile::kModeWrite);
            if (!data.empty())
                file.Write(data.data(), unsigned(data.size()));
            file.Seek(0, CFile::kSeekStart);
            CImage image;
            int format = round % 3 == 0 ? 22 : 26;
            if (image.Load(file, format) == 0) {
                ++accepted;
                Touch(image);
                if (format == 22) {
                    ASSERT_EQ(image.GetPixelFormatIndex(), 22);
                }
            } else {
                ++refused;
                EXPECT_EQ(image.GetLastError(), 3);
            }
            // An existing image keeps its size whatever the file holds.
            file.Seek(0, CFile::kSeekStart);
            CImage kept(5, 4, 20);
            kept.Load(file, 26, false);
            ASSERT_TRUE(kept.HasPixels());
            ASSERT_EQ(kept.GetWidth(), 5);
        }
    }
    // Both outcomes occur, or the mutations test nothing.
    EXPECT_GT(accepted, 100);
    EXPECT_GT(refused, 100);
}
