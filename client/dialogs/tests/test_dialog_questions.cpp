// The two small modal questions: the promotion piece and the new-player alert.

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
        CPawnPromotionDialog dialog(nullptr, wxID_ANY);
        EXPECT_EQ(dialog.GetTitle(), "Pawn Promotion");
        int result = GuiTest::RunModal(dialog, [&] { GuiTest::Click(&dialog, b.first); });
        EXPECT_EQ(result, b.second) << "button " << b.first;
    }
}

TEST(PromotionDialog, LeavingWithoutAChoiceGivesAQueen)
{
    GUI_TEST_START();
    {
        CPawnPromotionDialog dialog(nullptr, wxID_ANY);
        EXPECT_EQ(GuiTest::RunModal(dialog, [&] { GuiTest::CloseBox(&dialog); }), PIECE_QUEEN);
    }
    {
        CPawnPromotionDialog dialog(nullptr, wxID_ANY);
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
