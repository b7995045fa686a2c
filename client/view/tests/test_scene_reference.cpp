// The default skin's start position drawn by Mesa, compared with the
// committed picture. To renew the picture after a deliberate change of the
// skin or the drawing: ROOKWELL_WRITE_REFERENCE=/tmp/x.bmp, run, then
// convert the BMP to client/view/tests/reference/large_wood_start.png.

#include <gtest/gtest.h>

#include <cstdlib>

#include "client/view/BoardScene.h"
#include "foundation/Win32File.h"
#include "support/gl_harness.h"
#include "support/scene_support.h"

using Zorlin::CImage;

namespace {

struct SDifference {
    double mean = 0.0;
    double farShare = 0.0; // pixels with a channel off by more than 48
};

SDifference Compare(const CImage& a, const CImage& b)
{
    SDifference d;
    long total = 0;
    long far = 0;
    for (int y = 0; y < a.GetHeight(); ++y) {
        for (int x = 0; x < a.GetWidth(); ++x) {
            const RGB p = ImagePixel(a, x, y);
            const RGB q = ImagePixel(b, x, y);
            int worst = 0;
            for (int i = 0; i < 3; ++i) {
                const int diff = std::abs(p[i] - q[i]);
                total += diff;
                worst = std::max(worst, diff);
            }
            far += worst > 48;
        }
    }
    const double pixels = double(a.GetWidth()) * a.GetHeight();
    d.mean = total / (pixels * 3.0);
    d.farShare = far / pixels;
    return d;
}

} // namespace

TEST(SceneReference, DefaultSkinStartPositionMatchesThePicture)
{
    REQUIRE_GL();
    CBoardScene scene;
    ASSERT_TRUE(LoadSkinFrom(scene, DefaultSkinPath()));
    scene.SetViewportSize(1024, 768);
    scene.SetShowCoordinates(true);
    scene.SetTime(0.0);
    AddStartPosition(scene);
    CImage shot;
    ASSERT_TRUE(scene.GrabImage(shot));
    ASSERT_EQ(shot.GetWidth(), 720);
    ASSERT_EQ(shot.GetHeight(), 720);

    if (const char* out = std::getenv("ROOKWELL_WRITE_REFERENCE")) {
        Zorlin::CWin32File file(out, Zorlin::CFile::kModeWrite | Zorlin::CFile::kModeCreate);
        ASSERT_EQ(shot.Save(file, "bmp"), 0);
        GTEST_SKIP() << "reference written to " << out;
    }

    CImage reference;
    const std::string path = SourcePath("client/view/tests/reference/large_wood_start.png").string();
    ASSERT_EQ(reference.Load(path.c_str(), 19), 0) << path;
    ASSERT_EQ(reference.GetWidth(), shot.GetWidth());
    ASSERT_EQ(reference.GetHeight(), shot.GetHeight());
    const SDifference d = Compare(shot, reference);
    // Other Mesa versions round filtering a little differently; a misplaced
    // piece or square moves far more than this.
    EXPECT_LT(d.mean, 2.0) << SaveForInspection(shot, "large_wood_start_actual");
    EXPECT_LT(d.farShare, 0.005) << SaveForInspection(shot, "large_wood_start_actual");

    // The whole window too, for a person to look at when this fails.
    if (HasFailure()) {
        CImage window(1024, 768, 19);
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x) {
                const RGB p = ReadWindowPixel(x, y, 768);
                window.SetPixel(x, y, Zorlin::CColour(p[0], p[1], p[2], 255));
            }
        ADD_FAILURE() << "window: " << SaveForInspection(window, "large_wood_window");
    }
}
