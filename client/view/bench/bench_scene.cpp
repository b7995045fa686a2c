// Frames per second of the board scene at 1024 x 768 on Mesa, with a piece
// sliding and a captured piece fading in every frame; or, with --shot, one
// picture of a skin for a person to look at.
//   client_view_bench_scene [--skin FOLDER] [--frames N] [--shot FILE.bmp]
//                           [--width W] [--height H] [--flip]

#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/view/BoardScene.h"
#include "foundation/Win32File.h"
#include "support/gl_harness.h"
#include "support/scene_support.h"

namespace {

struct SOptions {
    std::string skin = DefaultSkinPath().string();
    std::string shot;
    int frames = 600;
    int width = 1024;
    int height = 768;
    bool flip = false;
};

bool ParseOptions(int argc, char** argv, SOptions& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--skin" && more)
            o.skin = argv[++i];
        else if (a == "--shot" && more)
            o.shot = argv[++i];
        else if (a == "--frames" && more)
            o.frames = std::atoi(argv[++i]);
        else if (a == "--width" && more)
            o.width = std::atoi(argv[++i]);
        else if (a == "--height" && more)
            o.height = std::atoi(argv[++i]);
        else if (a == "--flip")
            o.flip = true;
        else
            return false;
    }
    return o.frames > 0 && o.width > 0 && o.height > 0 && o.width <= CGLHarness::kMaxWidth &&
           o.height <= CGLHarness::kMaxHeight;
}

int Shot(CBoardScene& scene, const SOptions& o)
{
    scene.MarkSquare(SSquare(4, 1), 1);
    scene.MarkSquare(SSquare(4, 3), 1);
    scene.SetMousePosition(float(o.width / 2 + 30), float(o.height / 2 + 30));
    scene.SetTime(0.0);
    scene.Draw(true);
    Zorlin::CImage window;
    GrabWindow(o.width, o.height, o.height, window);
    Zorlin::CWin32File out(o.shot.c_str(), Zorlin::CFile::kModeWrite | Zorlin::CFile::kModeCreate);
    if (window.Save(out, "bmp") != 0) {
        std::fprintf(stderr, "cannot write %s\n", o.shot.c_str());
        return 1;
    }
    return 0;
}

// Keeps one move under way: a knight hops out and back, taking a pawn
// that is put on its target each time, so a slide and a fade overlap.
void KeepMoving(CBoardScene& scene, CBoardSprite*& knight, bool& out)
{
    if (!scene.GetQueue().empty())
        return;
    const SSquare target = out ? SSquare(6, 0) : SSquare(5, 2);
    CBoardSprite* victim = scene.AddPiece(BLACK, PIECE_PAWN, target, false);
    scene.QueueItem(knight, target, victim, WHITE, PIECE_NONE);
    out = !out;
}

} // namespace

int main(int argc, char** argv)
{
    SOptions o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr, "usage: %s [--skin FOLDER] [--frames N] [--shot FILE.bmp] [--width W] [--height H] [--flip]\n",
                     argv[0]);
        return 2;
    }
    CGLHarness* gl = CGLHarness::Get();
    if (!gl) {
        std::fprintf(stderr, "no OpenGL context: %s\n", CGLHarness::GetFailure().c_str());
        return 1;
    }
    int result = 0;
    {
        CBoardScene scene;
        if (!LoadSkinFrom(scene, o.skin)) {
            std::fprintf(stderr, "cannot load the skin %s\n", o.skin.c_str());
            return 1;
        }
        scene.SetViewportSize(o.width, o.height);
        scene.SetShowCoordinates(true);
        scene.SetFlipped(o.flip);
        AddStartPosition(scene);
        if (!o.shot.empty()) {
            result = Shot(scene, o);
        } else {
            std::vector<CBoardSprite*> sprites;
            scene.GetActiveSprites(sprites);
            CBoardSprite* knight = sprites[6 * 4 + 0]; // AddStartPosition adds g1 as the 25th
            bool out = true;
            double now = 0.0;
            scene.SetMousePosition(float(o.width / 2), float(o.height / 2));
            const auto start = std::chrono::steady_clock::now();
            for (int frame = 0; frame < o.frames; ++frame) {
                KeepMoving(scene, knight, out);
                now += 1.0 / 60.0;
                scene.SetTime(now);
                scene.Draw(true);
                glFinish();
            }
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("renderer: %s\n", gl->GetRenderer());
            std::printf("%d frames of %dx%d in %.3f s: %.1f frames per second\n", o.frames, o.width, o.height,
                        seconds, o.frames / seconds);
        }
    }
    return result;
}
