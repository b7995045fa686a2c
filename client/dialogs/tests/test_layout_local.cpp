// Layouts of local play, the profile, the message boxes, about and chat.

#include <wx/bmpbuttn.h>
#include <wx/radiobox.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>

#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/Icons.h"
#include "client/dialogs/tests/support/LayoutCheck.h"

using LayoutCheck::SLayoutCase;

namespace {

const char* const kNone = nullptr;

const std::vector<SLayoutCase>& LocalCases()
{
    static const std::vector<SLayoutCase> cases = {
        {"Promotion", PromotionLayout, {},
         {{10004, "wxStaticText", "Promote Pawn to...", kNone, ""},
          {10149, "wxBitmapButton", kNone, "Queen", ""},
          {10150, "wxBitmapButton", kNone, "Rook", ""},
          {10151, "wxBitmapButton", kNone, "Bishop", ""},
          {10152, "wxBitmapButton", kNone, "Knight", ""}}},
        {"EnterMove", EnterMoveLayout, {},
         {{10004, "wxStaticText", "Enter your move here ( e2e4, Nf3, e8=Q etc. )", kNone, ""},
          {10131, "wxTextCtrl", kNone, "Enter your move here ( e2e4, Nf3, e8=Q etc. )", ""}}},
        {"GameOver", GameOverLayout, {},
         {{10114, "wxCheckBox", "Remove saved game", "Delete the saved game file", "Options"},
          {10115, "wxCheckBox", "Save PGN in Played Games folder", "Save the game in the standard PGN format",
           "Options"},
          {10116, "wxCheckBox", "Record result", "Update statistics with the result of this game", "Options"},
          {10117, "wxButton", "&OK", kNone, kNone}}},
        {"GameOverPage", GameOverPageLayout, {10191},
         {{10114, "wxCheckBox", "Remove saved game", "Delete the saved game file", "Options"},
          {10115, "wxCheckBox", "Save PGN in Played Games folder", "Save the game in the standard PGN format",
           "Options"},
          {10116, "wxCheckBox", "Record result", "Update statistics with the result of this game", "Options"},
          {10117, "wxButton", "&OK", kNone, kNone}}},
        {"NewAIGame", NewAIGameLayout, {10024},
         {{10016, "wxListBox", kNone, "Installed chess engines", "Installed Chess Engines"},
          {10017, "wxButton", "&More engines...", "Visit the Rookwell web site to download more chess engines",
           "Installed Chess Engines"},
          {10018, "wxRadioBox", "Computer Plays", "Select computer's colour, or let it chose at random", kNone},
          {10019, "wxSpinCtrl", kNone, kNone, "Time control"},
          {10004, "wxStaticText", "moves in", kNone, "Time control"},
          {10020, "wxSpinCtrl", kNone, kNone, "Time control"},
          {10004, "wxStaticText", "minutes", kNone, "Time control"},
          {10021, "wxCheckBox", "Depth", "Restrict how many moves the computer may look ahead", "Level"},
          {10022, "wxSlider", kNone,
           "Thinking depth. Move the slider left to make the computer easier to defeat, right to make it harder.",
           "Level"},
          {10023, "wxCheckBox", "Pondering", "Lets the computer 'think' during your move", "Level"},
          {10025, "wxButton", "&Help", kNone, kNone},
          {10026, "wxButton", "&Voices", kNone, kNone},
          {10027, "wxButton", "&OK", kNone, kNone},
          {10028, "wxButton", "&Cancel", kNone, kNone}}},
        {"PgnViewer", PgnViewerLayout, {},
         {{10129, "wxStaticText", "", kNone, kNone}, {10130, "wxVListBox", kNone, "List of games", kNone}}},
        {"Profile", ProfileLayout, {10010},
         {{10004, "wxStaticText", "Name", kNone, "Your Details"},
          {10005, "wxTextCtrl", kNone, "Your name", "Your Details"},
          {10004, "wxStaticText", "Nickname", "The name shown in the chat box", "Your Details"},
          {10006, "wxTextCtrl", kNone, "The name shown in the chatbox", "Your Details"},
          {10004, "wxStaticText", "Email", kNone, "Your Details"},
          {10007, "wxTextCtrl", kNone, "Your email address", "Your Details"},
          {10008, "wxCheckBox", "Keep email private ( for non-email games )", "Don't send your email in network games",
           "Your Details"},
          {10009, "wxCheckBox", "Keep IP private ( for non-network games )",
           "Don't send your IP address in email games", "Your Details"},
          {10011, "wxButton", "&Browse", "Browse for a photo that will be shown to your opponents", "Photo"},
          {10012, "wxTextCtrl", kNone,
           "Other information you want your opponent to see ( IM / ICQ / homepage etc.)", "Other Information"},
          {10013, "wxButton", "&Help", kNone, kNone},
          {10014, "wxButton", "&OK", kNone, kNone},
          {10015, "wxButton", "&Cancel", kNone, kNone}}},
        {"ProfileIntro", ProfileIntroLayout, {10199},
         {{10004, "wxStaticText",
           "Please fill out the following dialog to create a user profile.\n\nYour profile is sent to your opponent "
           "when you play a\nnetwork or email game.",
           kNone, kNone},
          {10200, "wxButton", "OK", kNone, kNone}}},
        {"HtmlMessage", HtmlMessageLayout, {10147}, {{10148, "wxButton", "&OK", kNone, kNone}}},
        {"HtmlMessageBare", HtmlMessageBareLayout, {10147}, {}},
        {"About", AboutLayout, {10080}, {{10081, "wxButton", "OK", kNone, kNone}}},
        {"Chat", ChatLayout, {},
         {{10001, "wxTextCtrl", kNone, "Chat with opponent", kNone},
          {10002, "wxTextCtrl", kNone, "Type message to opponent here", kNone},
          {10003, "wxButton", "Send", "Click to send message (or hit Return)", kNone}}},
    };
    return cases;
}

const SLayoutCase& CaseNamed(const char* name)
{
    for (const SLayoutCase& c : LocalCases())
        if (std::string(c.name) == name)
            return c;
    throw std::runtime_error(name);
}

} // namespace

TEST(LocalLayouts, EveryControlWithItsIdLabelTipAndGroup)
{
    GUI_TEST_START();
    for (const SLayoutCase& c : LocalCases())
        LayoutCheck::CheckCase(c);
}

TEST(LocalLayouts, FlagsDecideSizerAndSizeHints)
{
    GUI_TEST_START();
    for (const SLayoutCase& c : LocalCases()) {
        SCOPED_TRACE(c.name);
        for (bool callFit : {false, true}) {
            wxSizer* top = nullptr;
            wxDialog* loose = LayoutCheck::Build(c, callFit, false, &top);
            EXPECT_EQ(loose->GetSizer(), nullptr);
            EXPECT_EQ(loose->GetMinSize(), wxDefaultSize);
            ASSERT_NE(top, nullptr);
            delete top; // the caller owns it; the controls stay with the window
            loose->Destroy();
        }
        wxSizer* top = nullptr;
        wxDialog* unfitted = LayoutCheck::Build(c, false, true, &top);
        EXPECT_EQ(unfitted->GetSizer(), top);
        EXPECT_EQ(unfitted->GetMinSize(), wxDefaultSize);
        unfitted->Destroy();
        wxDialog* fitted = LayoutCheck::Build(c, true, true, &top);
        EXPECT_EQ(fitted->GetMinSize(), fitted->ClientToWindowSize(top->GetMinSize()));
        fitted->Destroy();
    }
    GuiTest::Pump();
}

TEST(LocalLayouts, PromotionButtonsShowTheLightPieces)
{
    GUI_TEST_START();
    wxDialog* dialog = LayoutCheck::Build(CaseNamed("Promotion"));
    wxBitmapButton* queen = GuiTest::Find<wxBitmapButton>(dialog, 10149);
    ASSERT_NE(queen, nullptr);
    EXPECT_GE(queen->GetMinSize().x, 40);
    EXPECT_GE(queen->GetMinSize().y, 40);
    for (int i = 0; i < 4; ++i) {
        wxBitmapButton* button = GuiTest::Find<wxBitmapButton>(dialog, 10149 + i);
        ASSERT_NE(button, nullptr);
        wxBitmap shown = button->GetBitmapLabel();
        ASSERT_TRUE(shown.IsOk());
        wxImage a = shown.ConvertToImage(), b = GetPieceBitmap(4 + i).ConvertToImage();
        ASSERT_EQ(a.GetSize(), b.GetSize());
        EXPECT_EQ(0, memcmp(a.GetData(), b.GetData(), a.GetWidth() * a.GetHeight() * 3)) << "button " << i;
        if (i > 0) {
            EXPECT_EQ(button->GetMinSize(), wxDefaultSize) << "takes its bitmap's size";
        }
    }
    dialog->Destroy();
}

TEST(LocalLayouts, NewAIGameControlsStartInRange)
{
    GUI_TEST_START();
    wxDialog* dialog = LayoutCheck::Build(CaseNamed("NewAIGame"));
    wxRadioBox* colour = GuiTest::Find<wxRadioBox>(dialog, 10018);
    ASSERT_NE(colour, nullptr);
    ASSERT_EQ(colour->GetCount(), 3u);
    EXPECT_EQ(colour->GetString(0), "Black");
    EXPECT_EQ(colour->GetString(1), "White");
    EXPECT_EQ(colour->GetString(2), "Random");
    wxSpinCtrl* moves = GuiTest::Find<wxSpinCtrl>(dialog, 10019);
    wxSpinCtrl* minutes = GuiTest::Find<wxSpinCtrl>(dialog, 10020);
    ASSERT_TRUE(moves && minutes);
    EXPECT_EQ(moves->GetValue(), 40);
    EXPECT_EQ(moves->GetMin(), 1);
    EXPECT_EQ(moves->GetMax(), 1000);
    EXPECT_EQ(minutes->GetValue(), 5);
    EXPECT_EQ(minutes->GetMin(), 1);
    EXPECT_EQ(minutes->GetMax(), 10000);
    wxSlider* depth = GuiTest::Find<wxSlider>(dialog, 10022);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->GetValue(), 4);
    EXPECT_EQ(depth->GetMin(), 1);
    EXPECT_EQ(depth->GetMax(), 8);
    EXPECT_EQ(dialog->GetDefaultItem(), dialog->FindWindow(10027));
    dialog->Destroy();
}

TEST(LocalLayouts, OptionBoxesStartCheckedAndTextStylesHold)
{
    GUI_TEST_START();
    for (const char* name : {"GameOver", "GameOverPage"}) {
        wxDialog* dialog = LayoutCheck::Build(CaseNamed(name));
        for (int id : {10114, 10115, 10116})
            EXPECT_TRUE(GuiTest::Find<wxCheckBox>(dialog, id)->GetValue()) << name << " " << id;
        EXPECT_EQ(dialog->GetDefaultItem(), dialog->FindWindow(10117));
        dialog->Destroy();
    }
    wxDialog* entry = LayoutCheck::Build(CaseNamed("EnterMove"));
    wxTextCtrl* move = GuiTest::Find<wxTextCtrl>(entry, 10131);
    EXPECT_TRUE(move->HasFlag(wxTE_PROCESS_ENTER));
    EXPECT_EQ(move->GetFont().GetPointSize(), 15);
    EXPECT_EQ(move->GetFont().GetWeight(), wxFONTWEIGHT_BOLD);
    entry->Destroy();
    wxDialog* chat = LayoutCheck::Build(CaseNamed("Chat"));
    wxTextCtrl* history = GuiTest::Find<wxTextCtrl>(chat, 10001);
    EXPECT_TRUE(history->IsMultiLine());
    EXPECT_FALSE(history->IsEditable());
    EXPECT_TRUE(GuiTest::Find<wxTextCtrl>(chat, 10002)->IsSingleLine());
    chat->Destroy();
    GuiTest::Pump();
}
