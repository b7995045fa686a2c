// The windows around the pages: the embossed splash and its lighting, the
// start-up splash, and the spinning globe with its renderer.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "client/core/Splash.h"
#include "client/dialogs/tests/support/GuiTest.h"
#include "client/view/BumpLight.h"
#include "client/view/BumpSplashWindow.h"
#include "client/view/Globe.h"
#include "client/view/GlobeRenderer.h"
#include "client/view/SplashFrame.h"
#include "client/view/tests/support/GuiLeaks.h"
#include "client/view/tests/support/HtmlFixture.h"
#include "foundation/MemFile.h"

using Zorlin::CColour;
using Zorlin::CImage;

namespace {

const std::string kData = std::string(ROOKWELL_SOURCE) + "/data";

void Fill(CImage& image, int format, int width, int height, int seed)
{
    image.Create(width, height, format);
    unsigned s = unsigned(seed);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image.GetRow(y);
        for (int x = 0; x < width * image.GetBytesPerPixel(); ++x) {
            s = s * 1103515245u + 12345u;
            row[x] = uint8_t(s >> 16);
        }
    }
}

bool SameBytes(const CImage& a, const CImage& b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
        return false;
    for (int y = 0; y < a.GetHeight(); ++y)
        if (std::memcmp(a.GetRow(y), b.GetRow(y), size_t(a.GetWidth() * a.GetBytesPerPixel())) != 0)
            return false;
    return true;
}

const uint8_t* Pixel(const CImage& image, int x, int y)
{
    return image.GetRow(y) + x * image.GetBytesPerPixel();
}

// A file of the shipped data as a memory file named like it, as the media
// set hands pictures over.
void LoadData(const std::string& relative, Zorlin::CMemFile& out)
{
    std::string bytes = HtmlTest::ReadFile(kData + "/" + relative);
    out.Open(relative.c_str(), Zorlin::CFile::kModeRead | Zorlin::CFile::kModeWrite | Zorlin::CFile::kModeCreate);
    out.Write(bytes.data(), unsigned(bytes.size()));
    out.Seek(0, Zorlin::CFile::kSeekStart);
}

} // namespace

// ---------------------------------------------------------------- lighting

TEST(BumpLight, LightFarAwayLeavesThePictureUnlit)
{
    CImage picture, bump, light, output;
    Fill(picture, kRgbFormat, 40, 30, 1);
    Fill(bump, kGreyFormat, 40, 30, 2);
    Fill(light, kGreyFormat, 16, 16, 3);
    output.Create(40, 30, kRgbFormat);
    for (auto at : {std::pair<int, int>{-100, 10}, {10, -100}, {200, 5}, {5, 300}, {-9, -9}}) {
        RenderBumpLight(picture, bump, light, at.first, at.second, output);
        EXPECT_TRUE(SameBytes(picture, output)) << at.first << "," << at.second;
    }
}

TEST(BumpLight, FlatMapCentresTheSpotOnTheLightAndKeepsTheFrame)
{
    CImage picture, bump, light, output;
    Fill(picture, kRgbFormat, 40, 30, 4);
    bump.Create(40, 30, kGreyFormat);
    bump.Clear(CColour(128, 128, 128, 0));
    // A light whose value names its own column and row.
    light.Create(16, 12, kGreyFormat);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            light.GetRow(y)[x] = uint8_t(x + 16 * y);
    output.Create(40, 30, kRgbFormat);
    RenderBumpLight(picture, bump, light, 20, 15, output);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const uint8_t* in = Pixel(picture, x, y);
            const uint8_t* out = Pixel(output, x, y);
            bool frame = x == 0 || y == 0 || x == 39 || y == 29;
            int lx = x - 20 + 8, ly = y - 15 + 6;
            if (lx < 0 || lx >= 16)
                lx = 15;
            if (ly < 0 || ly >= 12)
                ly = 11;
            int lit = frame ? 0 : lx + 16 * ly;
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(out[c], std::min(255, in[c] + lit)) << x << "," << y;
        }
}

TEST(BumpLight, BumpGradientMovesTheLightAndBrightnessSaturates)
{
    CImage picture, bump, light, output;
    picture.Create(9, 3, kRgbFormat);
    picture.Clear(CColour(250, 100, 0, 0));
    bump.Create(9, 3, kGreyFormat);
    bump.Clear(CColour(0, 0, 0, 0));
    bump.GetRow(1)[3] = 2; // left neighbour of x=4 is 2 higher than its right one
    light.Create(20, 20, kGreyFormat);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            light.GetRow(y)[x] = uint8_t(x * 10);
    output.Create(9, 3, kRgbFormat);
    RenderBumpLight(picture, bump, light, 4, 1, output);
    // x=4: column 4 - 4 + 10 + 2 = 12; x=5: 5 - 4 + 10 = 11.
    EXPECT_EQ(Pixel(output, 4, 1)[1], 100 + 120);
    EXPECT_EQ(Pixel(output, 5, 1)[1], 100 + 110);
    EXPECT_EQ(Pixel(output, 5, 1)[0], 255) << "saturated";
    EXPECT_EQ(Pixel(output, 5, 1)[2], 110);
}

// ---------------------------------------------------------------- globe

TEST(GlobeRenderer, LookupCoversADiscThatFitsTheGrid)
{
    CGlobeRenderer globe(100, 100, 46);
    for (int row = 0; row < 100; ++row) {
        const CGlobeRenderer::SSpan& span = globe.GetSpan(row);
        int dy = row - 50;
        if (dy * dy >= 46 * 46) {
            EXPECT_EQ(span.first, -1) << row;
            EXPECT_EQ(span.end, -1) << row;
            continue;
        }
        ASSERT_GE(span.first, 0) << row;
        // Symmetric about the centre column, inside the grid.
        EXPECT_EQ(50 - span.first, span.end - 1 - 50) << row;
        EXPECT_GE(span.first, 4);
        EXPECT_LE(span.end, 97);
    }
    // Lit from the upper right: brighter there than at the lower left.
    EXPECT_GT(globe.GetShade(70, 35), globe.GetShade(30, 65));
    EXPECT_EQ(globe.GetShade(50, 50), 255);
}

TEST(GlobeRenderer, TurnsOnlyWithTimeAndDoesNotJumpAfterARestart)
{
    CGlobeRenderer globe(100, 100, 46);
    EXPECT_EQ(globe.GetRotation(), 0.0);
    globe.Advance(100.0);
    EXPECT_EQ(globe.GetRotation(), 0.0) << "the first tick only starts the clock";
    globe.Advance(103.0);
    EXPECT_NEAR(globe.GetRotation(), 0.5, 1e-9);
    globe.ResetClock();
    globe.Advance(500.0);
    EXPECT_NEAR(globe.GetRotation(), 0.5, 1e-9);
    globe.Advance(506.0);
    EXPECT_NEAR(globe.GetRotation(), 0.5, 1e-9) << "one whole turn in six seconds";
}

TEST(GlobeRenderer, TextureOfAnyWidthWrapsAtItsOwnWidth)
{
    // 90 columns, each with its own red; a wrap at 512 would read outside it.
    CImage texture;
    texture.Create(90, 45, kRgbFormat);
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 90; ++x) {
            uint8_t* p = texture.GetRow(y) + x * 3;
            p[0] = uint8_t(x * 2 + 50);
            p[1] = 255;
            p[2] = 0;
        }
    CGlobeRenderer globe(100, 100, 46);
    globe.SetTexture(texture);
    globe.Render(false, false);
    CImage first;
    first.Create(100, 100, kRgbFormat);
    first.Blit(globe.GetOutput(), 0, 0);
    for (double turns : {0.25, 0.5, 0.999}) {
        globe.SetRotation(turns);
        globe.Render(false, false);
        EXPECT_FALSE(SameBytes(first, globe.GetOutput())) << turns;
    }
    globe.SetRotation(1.0);
    globe.Render(false, false);
    EXPECT_TRUE(SameBytes(first, globe.GetOutput())) << "a whole turn looks the same";
    // Every disc pixel is a texture colour times its shade.
    for (int row = 10; row < 90; row += 7) {
        const CGlobeRenderer::SSpan& span = globe.GetSpan(row);
        for (int column = span.first; column < span.end; column += 5) {
            int shade = globe.GetShade(column, row);
            EXPECT_EQ(Pixel(globe.GetOutput(), column, row)[1], 255 * shade / 256);
        }
    }
}

TEST(GlobeRenderer, PressedShiftsTheDiscAndHoverBrightensIt)
{
    CImage texture, background;
    Fill(texture, kRgbFormat, 64, 32, 7);
    background.Create(100, 100, kRgbFormat);
    background.Clear(CColour(10, 20, 30, 0));
    CGlobeRenderer globe(100, 100, 46);
    globe.SetTexture(texture);
    globe.SetBackground(background);
    globe.Render(false, false);
    CImage plain;
    plain.Create(100, 100, kRgbFormat);
    plain.Blit(globe.GetOutput(), 0, 0);
    EXPECT_EQ(Pixel(plain, 1, 1)[0], 10) << "the background outside the disc";

    globe.Render(true, false);
    for (int y = 20; y < 80; y += 3)
        for (int x = 20; x < 80; x += 3)
            ASSERT_EQ(0, std::memcmp(Pixel(globe.GetOutput(), x + 3, y + 3), Pixel(plain, x, y), 3)) << x << "," << y;

    globe.Render(false, true);
    const uint8_t* lit = Pixel(globe.GetOutput(), 50, 50);
    const uint8_t* was = Pixel(plain, 50, 50);
    EXPECT_EQ(lit[0], std::min(255, was[0] + 20));
    EXPECT_EQ(lit[1], std::min(255, was[1] + 40));
    EXPECT_EQ(lit[2], std::min(255, was[2] + 20));
    globe.Render(true, true);
    EXPECT_EQ(0, std::memcmp(Pixel(globe.GetOutput(), 53, 53), was, 3)) << "pressed wins over hover";
}

// ---------------------------------------------------------------- windows

namespace {

class SplashWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        std::system(("cp -r '" + kData + "/assets' '" + fx.program + "/'").c_str());
    }
    void TearDown() override { GuiTest::Pump(); }
    HtmlTest::CFixture fx;
};

} // namespace

TEST_F(SplashWindows, StartUpSplashIsSizedToItsPicture)
{
    CImage picture;
    ASSERT_EQ(picture.Load((kData + "/assets/images/splash/load splash.jpg").c_str()), 0);
    CSplashFrame* splash = new CSplashFrame(picture);
    EXPECT_EQ(splash->GetTitle(), "Splash");
    EXPECT_TRUE(splash->IsShown());
    EXPECT_EQ(splash->GetClientSize(), wxSize(picture.GetWidth(), picture.GetHeight()));
    EXPECT_TRUE(splash->HasFlag(wxSTAY_ON_TOP));
    splash->Destroy();
}

TEST_F(SplashWindows, BumpSplashRendersOnlyWhenThePointerMovesAndGoesWhenClicked)
{
    fx.userSettings.GetValue("preferences.music.enable") = "yes";
    Zorlin::CMemFile picture, bump, light;
    LoadData("assets/images/splash/title.jpg", picture);
    LoadData("assets/images/splash/title-bump.png", bump);
    LoadData("assets/images/splash/light.png", light);
    CImage unlit;
    ASSERT_EQ(unlit.Load((kData + "/assets/images/splash/title.jpg").c_str(), kRgbFormat), 0);

    wxWindowRef ref = new CBumpSplashWindow(picture, bump, light, new CMusicPlayer());
    CBumpSplashWindow* window = static_cast<CBumpSplashWindow*>(ref.get());
    ASSERT_TRUE(window->IsValid());
    EXPECT_EQ(window->GetTitle(), "Splash Window");
    EXPECT_EQ(window->GetClientSize(), wxSize(unlit.GetWidth() - 2, unlit.GetHeight() - 2));
    EXPECT_TRUE(SameBytes(window->GetOutput(), unlit)) << "unlit until the pointer is seen";

    window->MoveLight(unlit.GetWidth() / 2, unlit.GetHeight() / 2);
    int renders = window->GetRenderCount();
    EXPECT_FALSE(SameBytes(window->GetOutput(), unlit)) << "lit under the pointer";
    window->MoveLight(unlit.GetWidth() / 2, unlit.GetHeight() / 2);
    EXPECT_EQ(window->GetRenderCount(), renders) << "a still pointer costs nothing";
    window->MoveLight(-5000, -5000);
    EXPECT_EQ(window->GetRenderCount(), renders + 1);
    EXPECT_TRUE(SameBytes(window->GetOutput(), unlit)) << "far away: unlit";

    int before = fx.musicRequests;
    wxMouseEvent click(wxEVT_LEFT_DOWN);
    window->GetEventHandler()->ProcessEvent(click);
    GuiTest::Pump();
    EXPECT_FALSE(ref);
    EXPECT_EQ(fx.musicRequests, before + 1) << "the background music resumes";
}

TEST_F(SplashWindows, OpenerRefusesPicturesThatDoNotLoad)
{
    InstallBumpSplashOpener();
    CSplash splash;
    EXPECT_FALSE(splash.Show(nullptr)) << "an empty splash shows nothing";
    Zorlin::CMemFile light;
    light.Open("light.png", Zorlin::CFile::kModeRead | Zorlin::CFile::kModeWrite);
    fx.WriteProgramFile("broken.jpg", "not a picture");
    fx.WriteProgramFile("broken-bump.png", "nor this");
    ASSERT_TRUE(splash.Load(*fx.programDrive, "broken.jpg", "broken-bump.png"));
    splash.SetLight(&light);
    EXPECT_FALSE(splash.Show(nullptr));
    CSplash::SetWindowOpener(nullptr);
}

TEST_F(SplashWindows, GlobeSpinsBetweenStartAndStopAndOpensTheServiceWhenClicked)
{
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "globe");
    CGlobe* globe = new CGlobe(frame, 10153);
    frame->Show();
    EXPECT_EQ(globe->GetToolTipText(), "Gridmoor is a global network of chess players");
    EXPECT_FALSE(globe->IsRunning());
    globe->SetFrameRate(40);
    globe->Start();
    EXPECT_TRUE(globe->IsRunning());
    globe->Tick(10.0);
    globe->Tick(11.5);
    EXPECT_NEAR(globe->GetRenderer().GetRotation(), 0.25, 1e-9);
    globe->Stop();
    EXPECT_FALSE(globe->IsRunning());
    globe->Start();
    globe->Tick(400.0);
    EXPECT_NEAR(globe->GetRenderer().GetRotation(), 0.25, 1e-9) << "no jump after a restart";
    globe->Stop();

    fx.programSettings.GetValue("gridmoor.web") = "https://gridmoor.example.org/";
    for (wxEventType type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP}) {
        wxMouseEvent event(type);
        globe->GetEventHandler()->ProcessEvent(event);
    }
    EXPECT_EQ(fx.opened, (std::vector<std::string>{"https://gridmoor.example.org/"}));
    frame->Destroy();
}
