// The two small modal questions: the promotion piece and the new-player alert.

#include <wx/bmpbuttn.h>

#include "chess/ChessTypes.h"
#include "client/dialogs/NewPlayerAlert.h"
#include "client/dialogs/PromotionDialog.h"
#include "client/dialogs/tests/support/GuiTest.h"

TEST(PromotionDialog, EachButtonGivesItsPieceNumber)
{
    GUI_TEST_START();
    const std::pair<int, int> buttons[] = {
        {10149, PIECE_QUEEN}, {10150, PIECE_ROOK}, {10151, PIECE_BISHOP}, {10152, PIECE_KNIGHT}};
    for (const auto& b : buttons) {
        CPawnPromotionDialog dialog(nullptr, wxID_ANY, BLACK);
        EXPECT_EQ(dialog.GetTitle(), "Pawn Promotion");
        int result = GuiTest::RunModal(dialog, [&] { GuiTest::Click(&dialog, b.first); });
        EXPECT_EQ(result, b.second) << "button " << b.first;
    }
}

// The pieces shown are those of the side that promotes: White's are white
// inside their outline, Black's nowhere lighter than their background.
TEST(PromotionDialog, OffersThePiecesOfTheSideThatPromotes)
{
    GUI_TEST_START();
    for (int colour : {WHITE, BLACK}) {
        CPawnPromotionDialog dialog(nullptr, wxID_ANY, colour);
        for (int i = 0; i < 4; ++i) {
            wxImage shown = GuiTest::Find<wxBitmapButton>(&dialog, 10149 + i)->GetBitmapLabel().ConvertToImage();
            ASSERT_TRUE(shown.IsOk());
            int white = 0;
            for (int y = 0; y < shown.GetHeight(); ++y)
                for (int x = 0; x < shown.GetWidth(); ++x)
                    white += shown.GetRed(x, y) > 0xF0;
            if (colour == WHITE)
                EXPECT_GT(white, 8) << "White's piece " << i;
            else
                EXPECT_EQ(white, 0) << "Black's piece " << i;
        }
    }
}

TEST(PromotionDialog, LeavingWithoutAChoiceGivesAQueen)
{
    GUI_TEST_START();
    {
        CPawnPromotionDialog dialog(nullptr, wxID_ANY, BLACK);
        EXPECT_EQ(GuiTest::RunModal(dialog, [&] { GuiTest::CloseBox(&dialog); }), PIECE_QUEEN);
    }
    {
        CPawnPromotionDialog dialog(nullptr, wxID_ANY, BLACK);
        EXPECT_EQ(GuiTest::RunModal(dialog, [&] { GuiTest::Command(&dialog, wxID_CANCEL); }), PIECE_QUEEN)
            << "Escape";
    }
}

TEST(NewPlayerAlert, ResultFollowsTheBoxWhicheverWayTheDialogEnds)
{
    GUI_TEST_START();
    {
        CNewPlayerAlertDialog dialog(nullptr, wxID_ANY);
        EXPECT_FALSE(GuiTest::Find<wxCheckBox>(&dialog, 10197)->GetValue()) << "starts unchecked";
        EXPECT_EQ(GuiTest::RunModal(dialog, [&] { GuiTest::Click(&dialog, 10198); }), 0);
    }
    {
        CNewPlayerAlertDialog dialog(nullptr, wxID_ANY);
        EXPECT_EQ(GuiTest::RunModal(dialog,
                                    [&] {
                                        GuiTest::Toggle(&dialog, 10197, true);
                                        GuiTest::CloseBox(&dialog);
                                    }),
                  1);
    }
    {
        CNewPlayerAlertDialog dialog(nullptr, wxID_ANY);
        EXPECT_EQ(GuiTest::RunModal(dialog,
                                    [&] {
                                        GuiTest::Toggle(&dialog, 10197, true);
                                        GuiTest::Click(&dialog, 10198);
                                    }),
                  1);
    }
}
