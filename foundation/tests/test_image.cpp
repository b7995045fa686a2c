#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "foundation/Image.h"
#include "foundation/ImageCodecBmp.h"
#include "foundation/MemFile.h"
#include "foundation/Win32File.h"

using Zorlin::CColour;
using Zorlin::CFile;
using Zorlin::CImage;
using Zorlin::CMemFile;
using Zorlin::CString;

namespace {

// A codec that records its calls and fails or succeeds as told.
class CScriptedCodec : public CImage::CCodec {
public:
    explicit CScriptedCodec(int result) : m_result(result) {}
    int Load(CFile&, CImage& image, bool, int) override
    {
        ++loads;
        if (m_result == 0)
            image.Create(2, 2, 22);
        return m_result;
    }
    int Save(CFile&, const CImage&) override { ++saves; return m_result; }
    bool CanLoad() override { return true; }
    bool CanSave() override { return true; }
    const char* GetExtensions() override { return m_result ? "fail" : "good \"q x\""; }
    int loads = 0, saves = 0;

private:
    int m_result;
};

void OpenNamed(CMemFile& file, const char* name) { file.Open(CString(name), CFile::kModeRead | CFile::kModeWrite); }

} // namespace

TEST(Image, CreateComputesPaddedRows)
{
    CImage a(3, 2, 20);
    EXPECT_EQ(a.GetBytesPerRow(), 12);
    CImage b(3, 2, 22);
    EXPECT_EQ(b.GetBytesPerRow(), 12);
    CImage c(3, 2, 1);
    EXPECT_EQ(c.GetBytesPerRow(), 4);
    CImage d(3, 2, 16, 100);
    EXPECT_EQ(d.GetBytesPerRow(), 100);
    EXPECT_TRUE(a.OwnsPixels());
    EXPECT_EQ(a.GetClipRect().right, 2);
    EXPECT_EQ(a.GetClipRect().bottom, 1);
    EXPECT_EQ(a.GetEdgeModeX(), 2);
    EXPECT_EQ(a.GetPalette().GetCount(), 0);
    CImage e(3, 2, 0);
    EXPECT_EQ(e.GetPalette().GetCount(), 256);
    EXPECT_EQ(e.GetPalette().GetAt(255)->GetValue(), 0u);

    CImage empty;
    EXPECT_EQ(empty.GetPixelFormatIndex(), int(CImage::FORMAT_NONE));
    EXPECT_FALSE(empty.HasPixels());
}

TEST(Image, CreateRefusesBadSizes)
{
    CImage image(4, 4, 22);
    image.Create(0, 5, 22);
    EXPECT_EQ(image.GetLastError(), 1);
    EXPECT_FALSE(image.HasPixels());
    image.Create(CImage::kMaxDimension + 1, 1, 22);
    EXPECT_EQ(image.GetLastError(), 1);
    image.Create(30000, 30000, 22); // 3.6 GB
    EXPECT_EQ(image.GetLastError(), 1);
    image.Create(4, 4, 22, 8); // rows shorter than the pixels
    EXPECT_EQ(image.GetLastError(), 1);
    image.Create(4, 4, 30);
    EXPECT_EQ(image.GetLastError(), 2);
    image.Create(4, 4, 22);
    EXPECT_EQ(image.GetLastError(), 0);
    uint8_t pixels[16];
    image.CreateOver(nullptr, 2, 2, 22);
    EXPECT_EQ(image.GetLastError(), 1);
    image.CreateOver(pixels, 2, 2, 22);
    EXPECT_EQ(image.GetLastError(), 0);
    EXPECT_FALSE(image.OwnsPixels());
    EXPECT_EQ(image.GetPixels(), pixels);
}

TEST(Image, ViewsLookIntoTheirParent)
{
    CImage parent(4, 4, 20);
    CImage view;
    view.CreateView(parent, 1, 1, 2, 2);
    EXPECT_EQ(view.GetLastError(), 0);
    EXPECT_EQ(view.GetPixels(), parent.GetPixels() + parent.GetBytesPerRow() + 3);
    EXPECT_EQ(view.GetBytesPerRow(), parent.GetBytesPerRow());
    EXPECT_EQ(parent.GetViewCount(), 1);
    EXPECT_EQ(view.GetParent(), &parent);
    view.Clear(CColour::Red);
    EXPECT_EQ(parent.GetPixel(1, 1), CColour::Red);
    EXPECT_EQ(parent.GetPixel(2, 2), CColour::Red);
    EXPECT_NE(parent.GetPixel(3, 3), CColour::Red);
    view.Free();
    EXPECT_EQ(parent.GetViewCount(), 0);

    // A rectangle partly outside is clipped to the parent.
    view.CreateView(parent, 2, -1, 10, 2);
    EXPECT_EQ(view.GetLastError(), 0);
    EXPECT_EQ(view.GetWidth(), 2);
    EXPECT_EQ(view.GetHeight(), 1);
    EXPECT_EQ(view.GetPixels(), parent.GetPixels() + 6);
    view.CreateView(parent, 4, 0, 1, 1);
    EXPECT_EQ(view.GetLastError(), 9);
    EXPECT_EQ(view.GetWidth(), 2); // a failed call leaves the old view
    EXPECT_EQ(parent.GetViewCount(), 1);
    view.CreateView(parent, 0, 0, 0, 3);
    EXPECT_EQ(view.GetLastError(), 9);

    CImage empty;
    view.CreateView(empty, 0, 0, 1, 1);
    EXPECT_EQ(view.GetLastError(), 8);

    // A view of a palette image reads through the parent's palette.
    CImage indexed(2, 2, 0);
    *indexed.GetPalette().GetAt(5) = CColour::Cyan;
    indexed.GetPixels()[1] = 5;
    CImage part;
    part.CreateView(indexed, 1, 0, 1, 1);
    EXPECT_EQ(part.GetPixel(0, 0), CColour::Cyan);
}

TEST(Image, LiveCountAndThrowSwitches)
{
    int before = CImage::GetLiveCount();
    {
        CImage a, b(1, 1, 22);
        EXPECT_EQ(CImage::GetLiveCount(), before + 2);
    }
    EXPECT_EQ(CImage::GetLiveCount(), before);

    CImage image;
    CImage::SetThrowOnError(7, true);
    bool thrown = false;
    try {
        image.Clear(CColour::Red);
    } catch (CImage::EError e) {
        thrown = e == CImage::ERR_NO_PIXELS;
    }
    CImage::SetThrowOnError(7, false);
    EXPECT_TRUE(thrown);
    image.Clear(CColour::Red);
    EXPECT_EQ(image.GetLastError(), 7);
}

TEST(Image, ColourLayout)
{
    CColour c(0x11223344u);
    EXPECT_EQ(c.GetAlpha(), 0x11);
    EXPECT_EQ(c.GetRed(), 0x22);
    EXPECT_EQ(c.GetGreen(), 0x33);
    EXPECT_EQ(c.GetBlue(), 0x44);
    uint8_t bytes[4];
    std::memcpy(bytes, &c, 4);
    EXPECT_EQ(bytes[0], 0x44); // blue, green, red, alpha in memory
    EXPECT_EQ(bytes[3], 0x11);
    EXPECT_EQ(CColour(1, 2, 3, 4).GetValue(), 0x04010203u);
    EXPECT_EQ(CColour::Yellow.GetValue(), 0x00FFFF00u);
    EXPECT_EQ(CColour::Blue.GetValue(), 0x000000FFu);
    EXPECT_EQ(CColour::DarkGrey.GetValue(), 0x00404040u);
    c.Merge(0xAAAAAAAAu, 0xFF00FF00u);
    EXPECT_EQ(c.GetValue(), 0x11AA33AAu);
}

TEST(Image, LoadAndSaveChooseTheCodecByName)
{
    CImage image;
    CMemFile closed;
    EXPECT_EQ(image.Load(closed), 3);

    CMemFile noDot;
    OpenNamed(noDot, "picture");
    EXPECT_EQ(image.Load(noDot), 2);
    CMemFile dotInFolder;
    OpenNamed(dotInFolder, "skins.v2/picture");
    EXPECT_EQ(image.Load(dotInFolder), 2);
    CMemFile gif;
    OpenNamed(gif, "x.gif");
    EXPECT_EQ(image.Load(gif), 5);

    // The extension is the last one, in any case.
    auto* good = new CScriptedCodec(0);
    auto* bad = new CScriptedCodec(4);
    CImage::RegisterCodec(good);
    CImage::RegisterCodec(bad);
    CMemFile named;
    OpenNamed(named, "dir.d/photo.bmp.GOOD");
    EXPECT_EQ(image.Load(named), 0);
    EXPECT_EQ(good->loads, 1);
    CMemFile quoted;
    OpenNamed(quoted, "a.q x");
    EXPECT_EQ(image.Load(quoted), 0);
    EXPECT_EQ(good->loads, 2);

    CMemFile failing;
    OpenNamed(failing, "x.fail");
    EXPECT_EQ(image.Load(failing), 3); // whatever the codec said
    // A successful load clears the error left by an earlier one.
    EXPECT_EQ(image.Load(named), 0);
    EXPECT_EQ(image.GetLastError(), 0);
    EXPECT_EQ(image.Save(failing), 4);

    CImage pixels(2, 2, 22);
    CMemFile png, gifOut;
    OpenNamed(png, "x.png");
    OpenNamed(gifOut, "x.gif");
    EXPECT_EQ(pixels.Save(png), 6);
    EXPECT_EQ(png.GetSize(), 0u);
    EXPECT_EQ(pixels.Save(gifOut), 5);
    EXPECT_EQ(pixels.Save(closed), 3);

    EXPECT_NE(CImage::FindCodec("JPE"), nullptr);
    EXPECT_EQ(CImage::FindCodec("JPE"), CImage::FindCodec("jpeg"));
    EXPECT_NE(CImage::FindCodec("tga"), CImage::FindCodec("bmp"));
    CImage::UnregisterCodecs();
    // The built-in codecs come back on the next use; the scripted ones are gone.
    EXPECT_NE(CImage::FindCodec("bmp"), nullptr);
    EXPECT_EQ(CImage::FindCodec("good"), nullptr);
}

TEST(Image, LoadAndSaveByFileName)
{
    char folder[] = "/tmp/rookwell-image-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string path = std::string(folder) + "/photo.BMP";
    CImage image(5, 3, 20);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.SetPixel(x, y, CColour(x * 50, y * 100, 7, 0));
    EXPECT_EQ(image.Save(path.c_str()), 0);
    CImage loaded(path.c_str(), 22);
    EXPECT_EQ(loaded.GetLastError(), 0);
    ASSERT_EQ(loaded.GetWidth(), 5);
    EXPECT_EQ(loaded.GetPixelFormatIndex(), 22);
    EXPECT_EQ(loaded.GetPixel(4, 2), CColour(200, 200, 7, 0));
    CImage missing((std::string(folder) + "/none.bmp").c_str(), 26);
    EXPECT_EQ(missing.GetLastError(), 3);
    unlink(path.c_str());
    rmdir(folder);
}
