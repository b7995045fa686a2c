#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "client/view/BoardScene.h"
#include "foundation/DiskDrive.h"
#include "support/gl_harness.h"
#include "support/scene_support.h"

namespace fs = std::filesystem;

namespace {

class SkinLoad : public ::testing::Test {
protected:
    void SetUp() override { InstallRecordingSounds(m_sounds); }
    void TearDown() override { RemoveSounds(); }

    // A copy of the tiny skin with lines that override its own.
    fs::path Variant(const std::string& overrides) { return CopySkin(m_temp, TinySkinPath(), overrides); }

    SSoundLog m_sounds;
    CTempFolder m_temp;
};

} // namespace

TEST_F(SkinLoad, TheTinySkinLoadsEveryPart)
{
    REQUIRE_GL();
    CBoardScene scene;
    ASSERT_TRUE(LoadSkinFrom(scene, TinySkinPath()));
    EXPECT_TRUE(scene.HasSkin());
    int w = 0, h = 0;
    scene.GetSceneSize(w, h);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 200);
    const CBoardGeometry& g = scene.GetGeometry();
    EXPECT_DOUBLE_EQ(g.GetSquareWidth(), 20.0);
    EXPECT_DOUBLE_EQ(g.GetAnchorX(), 100.0);
    EXPECT_FALSE(scene.IsDepthSorted());
    EXPECT_FALSE(scene.HasDualPieces());
    for (int colour = 0; colour < 2; ++colour)
        for (int piece = 0; piece < 6; ++piece)
            EXPECT_TRUE(scene.GetPieceImage(colour, piece, false).texture.IsLoaded()) << colour << piece;
    EXPECT_DOUBLE_EQ(scene.GetPieceImage(BLACK, PIECE_KING, false).anchorX, 10.0);
    EXPECT_TRUE(scene.GetFont().IsLoaded());
    EXPECT_EQ(scene.GetFont().GetSize(), 16);
    ASSERT_EQ(scene.GetLinkCount(), 1);
    const SBoardLink& link = scene.GetLink(0);
    EXPECT_STREQ(link.url.GetText(), "http://example.org/");
    EXPECT_STREQ(link.text.GetText(), "Home");
    EXPECT_TRUE(link.top);
    EXPECT_TRUE(link.left);
    EXPECT_FLOAT_EQ(link.off, 128.0f);
    EXPECT_FLOAT_EQ(link.over, 255.0f);
    EXPECT_TRUE(link.image.IsLoaded());
    EXPECT_EQ(m_sounds.loaded.size(), 2u);
    EXPECT_TRUE(scene.HasSound(false));
    EXPECT_TRUE(scene.HasSound(true));
    EXPECT_FALSE(scene.IsFlipped());
}

TEST_F(SkinLoad, MissingPartsThatMatterRefuseTheSkin)
{
    REQUIRE_GL();
    const char* refused[] = {
        "Pieces.Black.Queen.Image=\r\n",
        "Pieces.White.Pawn.Alpha= nothing.png\r\n",
        "Board.Image=\r\n",
        "Mouse.Grip.Image=\r\n",
        "Highlights.Capture.Image= missing.png\r\n",
        "Board.BottomRight.X= 20\r\n",   // no width: no squares
        "Board.TopLeft.Y= 180\r\nBoard.BottomRight.Y= 20\r\n",
        // dual pieces without their alternate pictures
        "info.dualpieces= Yes\r\n",
    };
    for (const char* overrides : refused) {
        CBoardScene scene;
        EXPECT_FALSE(LoadSkinFrom(scene, Variant(overrides))) << overrides;
        // Nothing half-loaded stays behind to be drawn.
        EXPECT_FALSE(scene.HasSkin()) << overrides;
        int w = 1, h = 1;
        scene.GetSceneSize(w, h);
        EXPECT_EQ(w, 0);
    }
    CTempFolder empty;
    CBoardScene scene;
    EXPECT_FALSE(LoadSkinFrom(scene, empty.Path())) << "no info.cfg";
}

TEST_F(SkinLoad, ACheckReadsEveryPictureWithoutMakingTextures)
{
    // No GL here: the check is what the Preferences preview does before
    // the board was ever shown.
    CBoardScene scene;
    Zorlin::CDiskDrive tiny(TinySkinPath().string().c_str());
    ASSERT_TRUE(scene.CheckSkin(tiny));
    EXPECT_FALSE(scene.HasSkin()) << "nothing stays loaded";
    EXPECT_FALSE(scene.GetFont().IsLoaded());
    EXPECT_TRUE(m_sounds.loaded.empty());
    // It refuses what loading refuses, a picture that does not decode too.
    for (const char* overrides : {"Pieces.Black.Queen.Image=\r\n", "Pieces.White.Pawn.Alpha= nothing.png\r\n",
                                  "Board.BottomRight.X= 20\r\n", "info.dualpieces= Yes\r\n"}) {
        Zorlin::CDiskDrive drive(Variant(overrides).string().c_str());
        EXPECT_FALSE(scene.CheckSkin(drive)) << overrides;
    }
    const fs::path broken = Variant("");
    std::ofstream(broken / "graphics" / "wqueen.png", std::ios::binary | std::ios::trunc) << "\x89PNG\r\n\x1a\nnot a picture";
    Zorlin::CDiskDrive drive(broken.string().c_str());
    EXPECT_FALSE(scene.CheckSkin(drive));
}

TEST_F(SkinLoad, MissingExtrasAreTolerated)
{
    REQUIRE_GL();
    CBoardScene scene;
    ASSERT_TRUE(LoadSkinFrom(scene, Variant("Background.Image=\r\nSounds.Drop=\r\nCoordinates.Glyphs.Image= gone.png\r\n"
                                            "Links.home.image= gone.png\r\n")));
    EXPECT_FALSE(scene.HasSound(false));
    EXPECT_TRUE(scene.HasSound(true));
    EXPECT_FALSE(scene.GetFont().IsLoaded());
    ASSERT_EQ(scene.GetLinkCount(), 1);
    EXPECT_FALSE(scene.GetLink(0).image.IsLoaded());
    // A link without a picture is never hit.
    Zorlin::CString url, text;
    scene.SetViewportSize(300, 300);
    scene.SetMousePosition(2, 2);
    EXPECT_FALSE(scene.LinkAt(url, text));

    // The drop sound is silent, the capture sound plays on channel 1.
    CBoardSprite* a = scene.AddPiece(WHITE, PIECE_PAWN, SSquare(0, 1), false);
    CBoardSprite* b = scene.AddPiece(BLACK, PIECE_PAWN, SSquare(1, 2), false);
    scene.MovePiece(a, SSquare(0, 2));
    EXPECT_TRUE(m_sounds.played.empty());
    scene.CapturePiece(b);
    scene.RemovePiece(a);
    EXPECT_EQ(m_sounds.played, (std::vector<int>{1, 1}));
}

TEST_F(SkinLoad, DualPiecesTurnOnOnlyForYesOrTrue)
{
    REQUIRE_GL();
    std::string alternates;
    for (const char* colour : {"White", "Black"})
        for (const char* piece : {"Rook", "Knight", "Bishop"})
            alternates += std::string("Pieces.") + colour + "." + piece + "2.Image= wking.png\r\n";
    CBoardScene one;
    ASSERT_TRUE(LoadSkinFrom(one, Variant("info.dualpieces= 1\r\n" + alternates)));
    EXPECT_FALSE(one.HasDualPieces());
    CBoardScene yes;
    ASSERT_TRUE(LoadSkinFrom(yes, Variant("info.dualpieces= Yes\r\ninfo.depth= TRUE\r\n" + alternates)));
    EXPECT_TRUE(yes.HasDualPieces());
    EXPECT_TRUE(yes.IsDepthSorted());
    CBoardSprite* knight = yes.AddPiece(BLACK, PIECE_KNIGHT, SSquare(6, 7), true);
    EXPECT_EQ(knight->GetImage(), &yes.GetPieceImage(BLACK, PIECE_KNIGHT, true).texture);
    EXPECT_NE(knight->GetImage(), &yes.GetPieceImage(BLACK, PIECE_KNIGHT, false).texture);
    // Pawns have no alternate even in a dual skin.
    CBoardSprite* pawn = yes.AddPiece(BLACK, PIECE_PAWN, SSquare(6, 6), true);
    EXPECT_EQ(pawn->GetImage(), &yes.GetPieceImage(BLACK, PIECE_PAWN, false).texture);
    EXPECT_TRUE(pawn->GetImage()->IsLoaded());
}

TEST_F(SkinLoad, NamesCannotReachOutsideThePackage)
{
    REQUIRE_GL();
    // As in the program folder: the drive's root holds more than the skin.
    fs::copy_file(TinySkinPath() / "graphics" / "board.png", m_temp.Path() / "outside.png");
    const auto load = [this](const std::string& overrides) {
        Variant(overrides);
        Zorlin::CDiskDrive drive(m_temp.Path().string().c_str());
        CBoardScene scene;
        return drive.ChangeDirectory("tiny") && scene.LoadSkin(drive);
    };
    EXPECT_TRUE(load("")) << "the same set-up loads the plain skin";
    EXPECT_FALSE(load("Board.Image= ../../outside.png\r\n"));
    EXPECT_FALSE(load("Pieces.White.King.Alpha= ../../outside.png\r\n"));
    EXPECT_FALSE(load("Board.Image= /outside.png\r\n"));
}

TEST_F(SkinLoad, FolderNamesAreFoundWhateverTheirCase)
{
    REQUIRE_GL();
    const fs::path skin = Variant("");
    fs::rename(skin / "graphics", skin / "GRAPHICS");
    fs::rename(skin / "Sounds", skin / "sounds");
    CBoardScene scene;
    ASSERT_TRUE(LoadSkinFrom(scene, skin));
    EXPECT_TRUE(scene.GetFont().IsLoaded());
    EXPECT_TRUE(scene.HasSound(true));
}

TEST_F(SkinLoad, ReloadingStartsFromNothing)
{
    REQUIRE_GL();
    CBoardScene scene;
    ASSERT_TRUE(LoadSkinFrom(scene, TinySkinPath()));
    scene.AddPiece(WHITE, PIECE_KING, SSquare(4, 0), false);
    scene.SetFlipped(true);
    ASSERT_EQ(scene.GetLinkCount(), 1);
    // The second skin has no links, no glyphs and a smaller square grid.
    const fs::path plain = Variant("Coordinates.Glyphs.Image= gone.png\r\nBoard.TopLeft.X= 40\r\nBoard.TopLeft.Y= 40\r\n"
                                   "Board.BottomRight.X= 160\r\nBoard.BottomRight.Y= 160\r\ninfo.depth= yes\r\n");
    RemoveFrame(plain / "info.cfg", "Links");
    ASSERT_TRUE(LoadSkinFrom(scene, plain));
    EXPECT_EQ(scene.GetLinkCount(), 0);
    EXPECT_FALSE(scene.GetFont().IsLoaded());
    EXPECT_FALSE(scene.GetSkinConfig().KeyExists("Links.home.url"));
    EXPECT_DOUBLE_EQ(scene.GetGeometry().GetSquareWidth(), 15.0);
    EXPECT_EQ(scene.GetActiveCount(), 0);
    EXPECT_FALSE(scene.IsFlipped());
    EXPECT_TRUE(scene.IsDepthSorted());
    // And back: settings of the second skin do not linger either.
    ASSERT_TRUE(LoadSkinFrom(scene, TinySkinPath()));
    EXPECT_FALSE(scene.IsDepthSorted());
    EXPECT_EQ(scene.GetLinkCount(), 1);
}
