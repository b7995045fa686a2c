// The scene's bookkeeping without a skin or OpenGL: an unloaded scene
// draws nothing but keeps its pool, animations, queue, drag and pens.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "client/view/BoardScene.h"
#include "support/scene_support.h"

namespace {

class SceneLogic : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallRecordingSounds(m_sounds);
        m_scene.reset(new CBoardScene);
        m_scene->SetViewportSize(800, 600);
    }
    void TearDown() override
    {
        m_scene.reset();
        RemoveSounds();
    }
    void Frame(double t)
    {
        m_scene->SetTime(t);
        m_scene->Draw(true);
    }
    std::vector<CBoardSprite*> Active() const
    {
        std::vector<CBoardSprite*> out;
        m_scene->GetActiveSprites(out);
        return out;
    }
    bool IsActive(CBoardSprite* s) const
    {
        const std::vector<CBoardSprite*> a = Active();
        return std::find(a.begin(), a.end(), s) != a.end();
    }
    void CheckInvariants() const
    {
        const std::vector<CBoardSprite*> active = Active();
        const std::set<CBoardSprite*> unique(active.begin(), active.end());
        ASSERT_EQ(unique.size(), active.size()) << "a sprite is linked twice";
        ASSERT_EQ(int(active.size()), m_scene->GetActiveCount());
        ASSERT_EQ(m_scene->GetActiveCount() + m_scene->GetFreeCount(), m_scene->GetPoolSize());
        for (CBoardSprite* s : m_scene->GetCaptured())
            ASSERT_TRUE(unique.count(s)) << "captured sprite not active";
        for (const SQueuedMove& m : m_scene->GetQueue()) {
            ASSERT_TRUE(unique.count(m.sprite)) << "queued sprite not active";
            if (m.capture) {
                ASSERT_TRUE(unique.count(m.capture)) << "queued capture not active";
            }
        }
        if (m_scene->GetDraggedPiece()) {
            ASSERT_TRUE(unique.count(m_scene->GetDraggedPiece()));
        }
    }

    SSoundLog m_sounds;
    std::unique_ptr<CBoardScene> m_scene;
};

} // namespace

TEST_F(SceneLogic, AnUnloadedSceneHasNoSizeAndNoSkin)
{
    int w = -1, h = -1;
    m_scene->GetSceneSize(w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    EXPECT_FALSE(m_scene->HasSkin());
    SSquare square;
    EXPECT_FALSE(m_scene->SquareAt(400, 300, square));
    Frame(0.0); // draws nothing and does not crash
    CBoardRenderer base;
    EXPECT_FALSE(base.NeedsRedraw());
    EXPECT_EQ(base.AddPiece(0, 0, SSquare(0, 0), false), nullptr);
}

TEST_F(SceneLogic, ThePoolGrowsAndReusesSprites)
{
    std::vector<CBoardSprite*> sprites;
    for (int i = 0; i < 100; ++i)
        sprites.push_back(m_scene->AddPiece(i % 2, i % 6, SSquare(i % 8, (i / 8) % 8), false));
    EXPECT_EQ(m_scene->GetActiveCount(), 100);
    CheckInvariants();
    const int pool = m_scene->GetPoolSize();
    EXPECT_GE(pool, 100);
    // Tail order is the order of adding.
    EXPECT_EQ(Active().front(), sprites.front());
    EXPECT_EQ(Active().back(), sprites.back());
    m_scene->Clear();
    EXPECT_EQ(m_scene->GetActiveCount(), 0);
    for (int i = 0; i < 100; ++i)
        m_scene->AddPiece(0, 0, SSquare(0, 0), false);
    EXPECT_EQ(m_scene->GetPoolSize(), pool);
    CheckInvariants();
    // A sprite taken again starts in the constructed state.
    CBoardSprite* s = Active()[3];
    s->m_alpha = 0.1f;
    s->m_visible = false;
    m_scene->RemovePiece(s);
    CBoardSprite* again = m_scene->AddPiece(1, 2, SSquare(3, 3), false);
    EXPECT_FLOAT_EQ(again->m_alpha, 1.0f);
    EXPECT_TRUE(again->m_visible);
    EXPECT_EQ(again->m_blend, 1);
}

TEST_F(SceneLogic, BadArgumentsAreIgnored)
{
    EXPECT_EQ(m_scene->AddPiece(2, 0, SSquare(0, 0), false), nullptr);
    EXPECT_EQ(m_scene->AddPiece(0, PIECE_NONE, SSquare(0, 0), false), nullptr);
    EXPECT_EQ(m_scene->AddPiece(0, 0, SSquare(8, 0), false), nullptr);
    m_scene->RemovePiece(nullptr);
    m_scene->CapturePiece(nullptr);
    m_scene->MovePiece(nullptr, SSquare(1, 1));
    m_scene->QueueItem(nullptr, SSquare(1, 1), nullptr, 0, 6);
    m_scene->SetPieceImage(nullptr, 0, 0);
    m_scene->MarkSquare(SSquare(-1, 3), 1);
    m_scene->PenLineTo(2, 0, 0);
    CBoardSprite stranger;
    m_scene->RemovePiece(&stranger);
    m_scene->CapturePiece(&stranger);
    EXPECT_EQ(m_scene->GetActiveCount(), 0);
    CheckInvariants();
}

TEST_F(SceneLogic, AlternateImagesOnlyWhenTheSkinHasThem)
{
    CBoardSprite* knight = m_scene->AddPiece(WHITE, PIECE_KNIGHT, SSquare(6, 0), true);
    ASSERT_NE(knight, nullptr);
    EXPECT_FALSE(m_scene->HasDualPieces());
    EXPECT_EQ(knight->GetImage(), &m_scene->GetPieceImage(WHITE, PIECE_KNIGHT, false).texture);
}

TEST_F(SceneLogic, PensKeepTheNewestThousandNodesAndStoreFlippedPointsNegated)
{
    for (int i = 0; i < CBoardScene::kMaxPenNodes; ++i)
        m_scene->PenLineTo(0, float(i), 0.0f);
    ASSERT_EQ(int(m_scene->GetPenNodes(0).size()), 1000);
    m_scene->PenMoveTo(0, 5000.0f, 1.0f);
    const std::deque<SPenNode>& nodes = m_scene->GetPenNodes(0);
    ASSERT_EQ(int(nodes.size()), 1000);
    EXPECT_FLOAT_EQ(nodes.front().x, 1.0f); // the first one went
    EXPECT_FLOAT_EQ(nodes.back().x, 5000.0f);
    EXPECT_EQ(nodes.back().kind, 0);
    EXPECT_TRUE(m_scene->GetPenNodes(1).empty());
    m_scene->SetFlipped(true);
    m_scene->PenLineTo(1, 3.0f, -4.0f);
    EXPECT_FLOAT_EQ(m_scene->GetPenNodes(1).back().x, -3.0f);
    EXPECT_FLOAT_EQ(m_scene->GetPenNodes(1).back().y, 4.0f);
    EXPECT_EQ(m_scene->GetPenNodes(1).back().kind, 1);
    m_scene->ClearPen(0);
    EXPECT_TRUE(m_scene->GetPenNodes(0).empty());
    EXPECT_EQ(m_scene->GetPenNodes(1).size(), 1u);
}

TEST_F(SceneLogic, DroppingWithNothingLiftedOnlyEndsTheDrag)
{
    CBoardSprite* s = m_scene->AddPiece(0, 0, SSquare(0, 1), false);
    Frame(0.0);
    EXPECT_FALSE(m_scene->NeedsRedraw());
    m_scene->SetDraggedPiece(nullptr);
    EXPECT_FALSE(m_scene->IsDragging());
    EXPECT_FALSE(s->IsAnimating());
    EXPECT_FALSE(m_scene->NeedsRedraw());
}

TEST_F(SceneLogic, ALiftedPieceIsCopiedAndSlidesBackWhenDropped)
{
    CBoardSprite* a = m_scene->AddPiece(0, 0, SSquare(0, 1), false);
    CBoardSprite* b = m_scene->AddPiece(0, 0, SSquare(1, 1), false);
    a->m_x = 100.0f;
    a->m_y = 50.0f;
    m_scene->SetMousePosition(400.0f + 130.0f, 300.0f + 90.0f); // scene (130, 90)
    m_scene->SetTime(1.0);
    m_scene->SetDraggedPiece(a);
    EXPECT_TRUE(m_scene->IsDragging());
    EXPECT_FALSE(a->m_visible);
    const CBoardSprite& copy = m_scene->GetDragCopy();
    EXPECT_TRUE(copy.m_visible);
    EXPECT_EQ(copy.m_order, 1);
    EXPECT_FLOAT_EQ(copy.m_scaleX, 1.2f);
    Frame(1.0);
    EXPECT_TRUE(m_scene->NeedsRedraw()) << "a drag keeps the canvas drawing";
    // The copy keeps its offset from the pointer.
    m_scene->SetMousePosition(400.0f + 230.0f, 300.0f + 190.0f);
    Frame(1.1);
    EXPECT_FLOAT_EQ(m_scene->GetDragCopy().m_x, 200.0f);
    EXPECT_FLOAT_EQ(m_scene->GetDragCopy().m_y, 150.0f);
    m_scene->SetTime(2.0);
    m_scene->SetDraggedPiece(nullptr);
    EXPECT_FALSE(m_scene->IsDragging());
    EXPECT_TRUE(a->m_visible);
    EXPECT_TRUE(a->IsAnimating());
    EXPECT_EQ(Active().back(), a) << "moved to the tail";
    EXPECT_FLOAT_EQ(a->m_scaleX, 1.2f);
    // 100 x 100 away at 1000 units per second.
    const double arrive = 2.0 + std::hypot(100.0, 100.0) / 1000.0;
    Frame(2.0 + (arrive - 2.0) / 2);
    EXPECT_NEAR(a->m_x, 150.0f, 0.01);
    EXPECT_NEAR(a->m_scaleX, 1.1f, 1e-4);
    Frame(arrive + 0.001);
    EXPECT_FALSE(a->IsAnimating());
    EXPECT_FLOAT_EQ(a->m_x, 100.0f);
    EXPECT_FLOAT_EQ(a->m_y, 50.0f);
    EXPECT_FLOAT_EQ(a->m_scaleX, 1.0f);
    EXPECT_FALSE(m_scene->NeedsRedraw());
    (void)b;
}

TEST_F(SceneLogic, SquareAtUnderADragLooksBelowTheHeldPiece)
{
    // Without a skin there are no squares: the offset must not make one.
    CBoardSprite* a = m_scene->AddPiece(0, 0, SSquare(0, 1), false);
    m_scene->SetMousePosition(10, 10);
    m_scene->SetDraggedPiece(a);
    SSquare square;
    EXPECT_FALSE(m_scene->SquareAt(400, 300, square));
}

TEST_F(SceneLogic, MovePieceDropsAtOnceWithTheDropSound)
{
    CBoardSprite* a = m_scene->AddPiece(0, 0, SSquare(0, 1), false);
    m_scene->SetMousePosition(0, 0);
    m_scene->SetDraggedPiece(a);
    m_sounds.played.clear();
    m_scene->MovePiece(a, SSquare(0, 3));
    EXPECT_FALSE(m_scene->IsDragging());
    EXPECT_EQ(m_scene->GetDraggedPiece(), nullptr);
    EXPECT_TRUE(a->m_visible);
    EXPECT_FALSE(a->IsAnimating());
    // No skin, so no sample: nothing played.
    EXPECT_TRUE(m_sounds.played.empty());
}

TEST_F(SceneLogic, QueuedMovesPlayOneAfterAnotherAndCaptureOnArrival)
{
    CBoardSprite* king = m_scene->AddPiece(WHITE, PIECE_KING, SSquare(4, 0), false);
    CBoardSprite* rook = m_scene->AddPiece(WHITE, PIECE_ROOK, SSquare(7, 0), false);
    CBoardSprite* victim = m_scene->AddPiece(BLACK, PIECE_PAWN, SSquare(6, 0), false);
    CBoardSprite* other = m_scene->AddPiece(BLACK, PIECE_PAWN, SSquare(0, 6), false);
    // Every square centre of an unloaded scene is the origin: start the
    // movers 400 units away so each slide lasts one second.
    king->m_x = 400.0f;
    rook->m_y = -400.0f;
    m_scene->SetTime(0.0);
    m_scene->QueueItem(king, SSquare(6, 0), victim, WHITE, PIECE_QUEEN);
    m_scene->QueueItem(rook, SSquare(5, 0), nullptr, WHITE, PIECE_NONE);
    EXPECT_TRUE(king->IsAnimating());
    EXPECT_FALSE(rook->IsAnimating()) << "the second item waits";
    EXPECT_EQ(Active().back(), king);
    Frame(0.5);
    EXPECT_EQ(m_scene->GetCaptured().size(), 0u) << "the capture starts only on arrival";
    EXPECT_NEAR(king->m_x, 200.0f, 0.01);
    EXPECT_FALSE(rook->IsAnimating());
    Frame(1.0);
    // Arrived: the victim fades, the king became a queen, the rook goes.
    ASSERT_EQ(m_scene->GetCaptured().size(), 1u);
    EXPECT_EQ(m_scene->GetCaptured()[0], victim);
    EXPECT_EQ(victim->m_order, -1);
    EXPECT_EQ(Active().front(), victim) << "a fading piece moves to the head";
    EXPECT_EQ(king->GetImage(), &m_scene->GetPieceImage(WHITE, PIECE_QUEEN, false).texture);
    EXPECT_TRUE(rook->IsAnimating());
    EXPECT_EQ(m_scene->GetQueue().size(), 1u);
    CheckInvariants();
    ASSERT_TRUE(m_scene->NeedsRedraw());

    int refreshes = 0;
    m_scene->SetPanelRefresh([&refreshes]() { ++refreshes; });
    Frame(1.25);
    EXPECT_NEAR(victim->m_scaleX, 1.25f, 1e-4);
    EXPECT_NEAR(victim->m_alpha, 0.5f, 1e-4);
    EXPECT_TRUE(IsActive(victim));
    Frame(1.5);
    EXPECT_FALSE(IsActive(victim)) << "freed when its fade ends";
    EXPECT_EQ(refreshes, 1);
    EXPECT_TRUE(m_scene->GetCaptured().empty());
    Frame(2.0);
    Frame(2.01);
    EXPECT_TRUE(m_scene->GetQueue().empty());
    EXPECT_FALSE(m_scene->NeedsRedraw());
    EXPECT_EQ(m_scene->GetActiveCount(), 3);
    EXPECT_TRUE(IsActive(other));
    CheckInvariants();
}

TEST_F(SceneLogic, ACapturedPieceLeavesTheQueueAndTheNextItemStillSlides)
{
    CBoardSprite* a = m_scene->AddPiece(WHITE, PIECE_PAWN, SSquare(0, 1), false);
    CBoardSprite* b = m_scene->AddPiece(WHITE, PIECE_PAWN, SSquare(1, 1), false);
    a->m_x = 400.0f;
    b->m_x = 400.0f;
    m_scene->SetTime(0.0);
    m_scene->QueueItem(a, SSquare(0, 2), nullptr, 0, PIECE_NONE);
    m_scene->QueueItem(b, SSquare(1, 2), nullptr, 0, PIECE_NONE);
    m_scene->CapturePiece(a);
    CheckInvariants();
    Frame(0.1);
    EXPECT_TRUE(b->IsAnimating()) << "the next item must slide, not jump";
    EXPECT_NEAR(b->m_x, 400.0f, 1.0f);
    m_scene->RemovePiece(b);
    EXPECT_TRUE(m_scene->GetQueue().empty());
    CheckInvariants();
}

TEST_F(SceneLogic, PieceIdsMapToSpritesUntilTheyGoBackToThePool)
{
    CBoardSprite* a = m_scene->AddPiece(0, 0, SSquare(0, 1), false);
    CBoardSprite* b = m_scene->AddPiece(0, 0, SSquare(1, 1), false);
    m_scene->SetPieceSprite(7, a);
    m_scene->SetPieceSprite(9, b);
    EXPECT_EQ(m_scene->GetPieceSprite(7), a);
    EXPECT_EQ(m_scene->GetPieceSprite(8), nullptr);
    m_scene->SetTime(0.0);
    m_scene->CapturePiece(a);
    EXPECT_EQ(m_scene->GetPieceSprite(7), a) << "still shown while it fades";
    Frame(1.0);
    EXPECT_EQ(m_scene->GetPieceSprite(7), nullptr);
    m_scene->RemovePiece(b);
    EXPECT_EQ(m_scene->GetPieceSprite(9), nullptr);
    CBoardSprite* c = m_scene->AddPiece(0, 0, SSquare(1, 1), false);
    m_scene->SetPieceSprite(3, c);
    m_scene->Clear();
    EXPECT_EQ(m_scene->GetPieceSprite(3), nullptr);
    m_scene->SetPieceSprite(4, c); // not active any more
    EXPECT_EQ(m_scene->GetPieceSprite(4), nullptr);
}

TEST_F(SceneLogic, MarksAndHintsAreKeptPerSquare)
{
    m_scene->MarkSquare(SSquare(4, 1), 1);
    m_scene->MarkSquare(SSquare(4, 3), 2);
    EXPECT_EQ(m_scene->GetMark(SSquare(4, 1)), 1);
    EXPECT_EQ(m_scene->GetMark(SSquare(4, 3)), 2);
    EXPECT_EQ(m_scene->GetMark(SSquare(3, 4)), 0) << "index is file x 8 + rank";
    m_scene->ClearMarks();
    EXPECT_EQ(m_scene->GetMark(SSquare(4, 1)), 0);
    m_scene->SetSquareImage(WHITE, PIECE_KNIGHT, false, SSquare(5, 2));
    EXPECT_TRUE(m_scene->IsSquareImageShown(SSquare(5, 2)));
    EXPECT_FALSE(m_scene->IsSquareImageShown(SSquare(2, 5)));
    m_scene->ClearSquareImages();
    EXPECT_FALSE(m_scene->IsSquareImageShown(SSquare(5, 2)));
}

// Random operations in a fixed order; after each, the pool's invariants.
TEST_F(SceneLogic, RandomOperationsKeepThePoolConsistent)
{
    std::mt19937 random(20240611);
    double now = 0.0;
    for (int step = 0; step < 4000; ++step) {
        const std::vector<CBoardSprite*> active = Active();
        CBoardSprite* any = active.empty() ? nullptr : active[random() % active.size()];
        CBoardSprite* another = active.empty() ? nullptr : active[random() % active.size()];
        if (any && random() % 3 == 0)
            any->m_x = float(random() % 800); // somewhere to slide from
        switch (random() % 10) {
        case 0:
        case 1:
            m_scene->AddPiece(int(random() % 2), int(random() % 6), SSquare(random() % 8, random() % 8), false);
            break;
        case 2:
            m_scene->RemovePiece(any);
            break;
        case 3:
            m_scene->CapturePiece(any);
            break;
        case 4:
            m_scene->QueueItem(any, SSquare(random() % 8, random() % 8), random() % 2 ? another : nullptr,
                               int(random() % 2), int(random() % 7));
            break;
        case 5:
            m_scene->SetMousePosition(float(random() % 800), float(random() % 600));
            m_scene->SetDraggedPiece(random() % 2 ? any : nullptr);
            break;
        case 6:
            m_scene->MovePiece(any, SSquare(random() % 8, random() % 8));
            break;
        case 7:
            if (random() % 20 == 0)
                m_scene->Clear();
            break;
        default:
            now += (random() % 100) / 200.0;
            Frame(now);
            break;
        }
        if (any && random() % 4 == 0)
            m_scene->SetPieceSprite(int(random() % 40), any);
        CheckInvariants();
        if (HasFatalFailure())
            FAIL() << "at step " << step;
    }
    // Left alone, everything settles and the queue empties.
    for (int i = 0; i < 200 && (m_scene->NeedsRedraw() || !m_scene->GetQueue().empty()); ++i) {
        m_scene->SetDraggedPiece(nullptr);
        now += 1.0;
        Frame(now);
    }
    EXPECT_TRUE(m_scene->GetQueue().empty());
    EXPECT_TRUE(m_scene->GetCaptured().empty());
    EXPECT_FALSE(m_scene->NeedsRedraw());
}
