// Pictures from other people through the one gate: hostile files made here
// (a 64-byte run-length BMP and a real JPEG, both claiming sizes far past
// the limit) are refused before their pixels are allocated; ordinary photos
// of any size and kind come out as the 96 x 72 BMP the client shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "client/core/PhotoFit.h"
#include "foundation/Buffer.h"
#include "foundation/Colour.h"
#include "foundation/File.h"
#include "foundation/Image.h"
#include "foundation/ImageCodecJpg.h"
#include "foundation/MemFile.h"
#include "testsupport/HostilePictures.h"

using Zorlin::CBuffer;
using Zorlin::CColour;
using Zorlin::CFile;
using Zorlin::CImage;
using Zorlin::CMemFile;
using Zorlin::CString;
using RookwellTest::PeakMegabytes;
using RookwellTest::RealJpeg;
using RookwellTest::RunLengthBmp;

namespace {

const int kRgb24 = 19;

// A picture of one colour saved with the foundation's codec for extension.
std::string Picture(int width, int height, CColour colour, const char* extension)
{
    CImage image(width, height, kRgb24);
    image.Clear(colour);
    CMemFile out;
    out.Open(CString("picture.") + extension, CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    Zorlin::CImageCodecJpg jpeg(90);
    const int error = std::string(extension) == "jpg" ? image.Save(out, jpeg) : image.Save(out, extension);
    EXPECT_EQ(error, 0) << extension;
    std::string bytes(out.GetSize(), '\0');
    out.Seek(0, CFile::kSeekStart);
    out.Read(&bytes[0], unsigned(bytes.size()));
    return bytes;
}

// A PNG of one colour made by ImageMagick (the foundation saves no PNG);
// empty when the tool is not there.
std::string ConvertPng(int width, int height, const char* colour)
{
    const std::string command = "convert -size " + std::to_string(width) + "x" + std::to_string(height) +
                                " xc:'" + colour + "' png:- 2>/dev/null";
    std::string bytes;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char block[4096];
        size_t n;
        while ((n = fread(block, 1, sizeof block, pipe)) > 0)
            bytes.append(block, n);
        pclose(pipe);
    }
    return bytes;
}

// The bytes as a file of that name, from its start.
void Fill(CMemFile& file, const char* name, const std::string& bytes)
{
    file.Open(CString(name), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    file.Write(bytes.data(), unsigned(bytes.size()));
    file.Seek(0, CFile::kSeekStart);
}

// The fitted photo read back with the foundation's BMP codec.
bool ReadBack(const CBuffer& bmp, CImage& photo)
{
    CMemFile file;
    Fill(file, "photo.bmp", std::string(reinterpret_cast<const char*>(bmp.GetData()), size_t(bmp.GetSize())));
    return photo.Load(file) == 0 && photo.HasPixels();
}

void ExpectColour(const CImage& photo, int x, int y, CColour expected)
{
    const CColour got = photo.GetPixel(x, y);
    EXPECT_NEAR(got.GetRed(), expected.GetRed(), 6) << x << "," << y;
    EXPECT_NEAR(got.GetGreen(), expected.GetGreen(), 6) << x << "," << y;
    EXPECT_NEAR(got.GetBlue(), expected.GetBlue(), 6) << x << "," << y;
}

} // namespace

TEST(ReceivedPicture, HugeClaimsInTinyFilesAreRefusedBeforeTheirPixelsExist)
{
    const long before = PeakMegabytes();
    struct SCase {
        const char* name;
        std::string bytes;
    };
    const std::string jpeg = RealJpeg(8000, 8000);
    ASSERT_GT(jpeg.size(), 100u);
    const SCase cases[] = {
        {"photo.bmp", RunLengthBmp(26000, 26000)},
        // Under the codec's own maximum, over the picture limit.
        {"photo.bmp", RunLengthBmp(kMaxReceivedPictureSide + 1, 16)},
        {"photo.jpg", jpeg},
        // Named as a BMP, the JPEG is no picture at all.
        {"photo.bmp", jpeg},
        {"photo.bmp", "BMfakephoto"},
        {"photo.bmp", ""},
    };
    ASSERT_EQ(cases[0].bytes.size(), 64u);
    for (const SCase& c : cases) {
        CMemFile file;
        Fill(file, c.name, c.bytes);
        CImage picture;
        EXPECT_FALSE(LoadReceivedPicture(file, picture)) << c.name << " " << c.bytes.size();
        EXPECT_FALSE(picture.HasPixels());
        CBuffer bmp;
        bmp.Resize(5);
        EXPECT_FALSE(FitPhotoFile(file, bmp)) << c.name << " " << c.bytes.size();
        EXPECT_EQ(bmp.GetSize(), 0);
    }
    // A 26000 x 26000 picture is 645 MB at one byte a pixel; an 8000 x 8000
    // one 61 MB: neither was ever allocated.
    EXPECT_LT(PeakMegabytes() - before, 40) << "peak before " << before;
}

TEST(ReceivedPicture, PhotosOfEveryKindAndSizeBecomeTheNinetySixBySeventyTwoBmp)
{
    const CColour red(220, 20, 20, 255), blue(20, 20, 220, 255), green(20, 200, 20, 255);
    const CColour border(64, 64, 64, 255);
    struct SCase {
        const char* name;
        std::string bytes;
        CColour colour;
        bool band; // wider than 4:3: a band with the border above and below
    };
    const SCase cases[] = {
        {"photo.bmp", Picture(1600, 1200, red, "bmp"), red, false},
        {"photo.jpg", Picture(640, 480, green, "jpg"), green, false},
        {"photo.bmp", Picture(300, 100, blue, "bmp"), blue, true},
        {"photo.png", ConvertPng(300, 100, "rgb(20,20,220)"), blue, true},
        {"photo.bmp", Picture(kPhotoWidth, kPhotoHeight, red, "bmp"), red, false},
        {"photo.bmp", Picture(kMaxReceivedPictureSide, 64, blue, "bmp"), blue, true},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name + std::string(" ") + std::to_string(c.bytes.size()));
        if (c.bytes.empty()) {
            ADD_FAILURE() << "ImageMagick's convert made no " << c.name;
            continue;
        }
        CMemFile file;
        Fill(file, c.name, c.bytes);
        CBuffer bmp;
        ASSERT_TRUE(FitPhotoFile(file, bmp));
        CImage photo;
        ASSERT_TRUE(ReadBack(bmp, photo));
        EXPECT_EQ(photo.GetWidth(), kPhotoWidth);
        EXPECT_EQ(photo.GetHeight(), kPhotoHeight);
        // 96 x 72 at 3 bytes a pixel and the headers: what every peer receives.
        EXPECT_LT(bmp.GetSize(), 21000);
        // Row 35 is inside even the one-pixel band of a 4096 x 64 picture.
        ExpectColour(photo, kPhotoWidth / 2, (kPhotoHeight - 1) / 2, c.colour);
        ExpectColour(photo, kPhotoWidth / 2, 0, c.band ? border : c.colour);
    }
}
