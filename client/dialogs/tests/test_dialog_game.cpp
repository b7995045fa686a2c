// The windows around a game on the board: typed moves, the end of a game and
// the PGN viewer, against a recording frame and board->

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/weakref.h>
#include <wx/html/htmlwin.h>

#include "client/core/LocalPlayer.h"
#include "client/core/ModalLoops.h"
#include "client/core/Player.h"
#include "client/core/Prompt.h"
#include "client/dialogs/EnterMoveDialog.h"
#include "client/dialogs/GameOverDialog.h"
#include "client/dialogs/PgnGameList.h"
#include "client/dialogs/PgnViewerDialog.h"
#include "client/core/PlayedGameFile.h"
#include "client/dialogs/tests/support/FailingFile.h"
#include "client/dialogs/tests/support/FakeBoard.h"
#include "client/dialogs/tests/support/GuiTest.h"
#include "foundation/Win32File.h"

using Zorlin::CString;

namespace {

// A game whose Black is somebody elsewhere (an engine, a peer).
class CRemoteBlackGame : public CGame {
public:
    bool Setup() override
    {
        m_board.SetupStartPosition();
        CPlayer* white = new CLocalPlayer();
        CPlayer* black = new CPlayer();
        white->SetColour(WHITE);
        black->SetColour(BLACK);
        SetPlayers(white, black);
        return true;
    }
};

class GameDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        board.reset(new CFakeBoard(app));
        prompt.Install();
    }
    CGame* StartGame(CGame* game)
    {
        game->Setup();
        game->Start();
        board->ResetView(game, true, false);
        return game;
    }
    // Types the text and presses Enter.
    void Type(CEnterMoveDialog& dialog, const char* text)
    {
        wxTextCtrl* box = GuiTest::Find<wxTextCtrl>(&dialog, 10131);
        box->ChangeValue(text);
        wxCommandEvent enter(wxEVT_TEXT_ENTER, 10131);
        enter.SetEventObject(box);
        box->GetEventHandler()->ProcessEvent(enter);
    }
    std::string TextOf(wxWindow* dialog, int id)
    {
        return std::string(GuiTest::Find<wxTextCtrl>(dialog, id)->GetValue().utf8_str());
    }

    CFakeApp app;
    std::unique_ptr<CFakeBoard> board;
    CScriptedPrompt prompt;
};

} // namespace

TEST_F(GameDialogTest, TypedMovesGoToTheBoardAndRefusalsKeepTheText)
{
    CGame* game = StartGame(new CGame());
    CEnterMoveDialog* dialog = new CEnterMoveDialog(nullptr);
    EXPECT_EQ(dialog->GetTitle(), "Enter Move");
    Type(*dialog, "E2E4");
    ASSERT_EQ(board->played.size(), 1u);
    EXPECT_EQ(board->calls.back(), "PlayMove:1") << "a typed move is animated";
    EXPECT_EQ(TextOf(dialog, 10131), "");
    Type(*dialog, "nf6");
    ASSERT_EQ(board->played.size(), 2u);
    EXPECT_EQ(SquareText(board->played[1].m_to), "f6");
    for (const char* refused : {"e4", "Ke3", "", "  ", "hello"}) {
        Type(*dialog, refused);
        EXPECT_EQ(TextOf(dialog, 10131), refused) << "kept for correction";
    }
    EXPECT_EQ(board->played.size(), 2u);

    app.boardEnabled = false;
    Type(*dialog, "d4");
    EXPECT_EQ(board->played.size(), 2u) << "the board takes no input";
    app.boardEnabled = true;
    game->SetInPlay(false);
    Type(*dialog, "d4");
    EXPECT_EQ(board->played.size(), 2u) << "no game in play";
    game->SetInPlay(true);
    Type(*dialog, "d4");
    EXPECT_EQ(board->played.size(), 3u);

    wxWeakRef<wxDialog> alive(dialog);
    GuiTest::CloseBox(dialog);
    GuiTest::Pump();
    ASSERT_TRUE(alive) << "the frame keeps the window it made";
    EXPECT_TRUE(app.Called("CheckMenuItem:10235:0"));
    dialog->Destroy();
}

TEST_F(GameDialogTest, TypingWhileTheOtherSideIsToMoveRingsTheBell)
{
    StartGame(new CRemoteBlackGame());
    CEnterMoveDialog* dialog = new CEnterMoveDialog(nullptr);
    Type(*dialog, "e4");
    ASSERT_EQ(board->played.size(), 1u);
    Type(*dialog, "e5");
    EXPECT_EQ(board->played.size(), 1u) << "Black's player is not at this machine";
    EXPECT_EQ(TextOf(dialog, 10131), "e5");
    dialog->Destroy();
}

namespace {

CGame* FinishedGame()
{
    CGame* game = new CGame();
    game->Setup();
    for (const char* text : {"f3", "e5", "g4", "Qh4"}) {
        CMove move;
        EXPECT_TRUE(game->GetBoard().ParseMove(text, move, true));
        game->GetBoard().MakeMove(move, 0.0);
    }
    game->SetResult(RESULT_BLACK_WINS);
    game->GetTags()["White"] = "Ann";
    game->GetTags()["Black"] = "Bob</b>/../x";
    return game;
}

} // namespace

TEST_F(GameDialogTest, GameOverCarriesOutItsOptionsForTheGameItWasOpenedFor)
{
    app.WriteFile(app.userPath + "active games/last.rwg", "saved");
    CGame* game = FinishedGame();
    game->SetSavedPath((app.userPath + "active games/last.rwg").c_str());
    CGameOverDialog* dialog = new CGameOverDialog(*game, -1, nullptr, wxID_ANY, nullptr);
    EXPECT_TRUE(dialog->FindWindow(10114)->IsEnabled());
    // The game goes before OK is pressed, as when a new game replaces it.
    delete game;
    wxWeakRef<wxDialog> alive(dialog);
    dialog->Show();
    GuiTest::Click(dialog, 10117);
    GuiTest::Pump();
    EXPECT_FALSE(alive);
    EXPECT_TRUE(CFakeApp::ReadFile(app.userPath + "active games/last.rwg").empty()) << "saved game removed";
    EXPECT_TRUE(app.Called("RescanActiveGames"));
    EXPECT_TRUE(app.Called("RescanPlayedGames"));
    EXPECT_EQ(app.calls.back(), "RebuildBrowser:0");
    EXPECT_EQ(app.Setting("preferences.matches.played"), "1");
    EXPECT_EQ(app.Setting("preferences.matches.lost"), "1");
    EXPECT_TRUE(app.Called("SaveUserSettings")) << "the count reaches user.cfg at once";

    Zorlin::CArray<CString> files;
    app.userDrive.ChangeDirectory("/played games/");
    app.userDrive.ListDirectory(files, false);
    app.userDrive.ChangeDirectory("/");
    ASSERT_EQ(files.GetCount(), 1);
    std::string name = files.GetAt(0)->GetText();
    EXPECT_NE(name.find("Ann vs Bobbx"), std::string::npos) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".pgn");
    std::string pgn = CFakeApp::ReadFile(app.userPath + "played games/" + name);
    EXPECT_NE(pgn.find("1. f3 e5 2. g4 Qh4 0-1"), std::string::npos) << pgn;
    EXPECT_NE(pgn.find("[Result \"0-1\"]"), std::string::npos) << pgn;
}

TEST_F(GameDialogTest, GameOverKeepsTheSavedGameAndTellsWhenItsPgnCannotBeWritten)
{
    app.WriteFile(app.userPath + "active games/last.rwg", "saved");
    // A file where the folder belongs: nothing can be written into it.
    app.WriteFile(app.userPath + "played games", "in the way");
    CGame* game = FinishedGame();
    game->SetSavedPath((app.userPath + "active games/last.rwg").c_str());
    CGameOverDialog* dialog = new CGameOverDialog(*game, -1, nullptr, wxID_ANY, nullptr);
    delete game;
    prompt.QueueButton(wxOK);
    GuiTest::Click(dialog, 10117);
    GuiTest::Pump();
    EXPECT_EQ(CFakeApp::ReadFile(app.userPath + "active games/last.rwg"), "saved") << "the saved game stays";
    EXPECT_FALSE(app.Called("RescanActiveGames"));
    EXPECT_FALSE(app.Called("RescanPlayedGames"));
    ASSERT_EQ(prompt.GetCount(), 1);
    const std::string told = prompt.GetQuestion(0).text.GetText();
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Game Not Kept");
    EXPECT_NE(told.find("The game Ann vs Bob</b>/../x could not be kept"), std::string::npos) << told;
    EXPECT_NE(told.find(std::strerror(ENOTDIR)), std::string::npos) << told;
    EXPECT_NE(told.find("saved game in \"active games\" is kept"), std::string::npos) << told;
    EXPECT_EQ(app.Setting("preferences.matches.lost"), "1") << "the result still counts";
}

TEST_F(GameDialogTest, GameOverOfAnUnsavedGameAndWithEveryOptionOff)
{
    for (int i = 0; i < 3; ++i) {
        CGame* game = FinishedGame();
        CGameOverDialog* dialog = new CGameOverDialog(*game, -1, nullptr, wxID_ANY, nullptr);
        delete game;
        EXPECT_FALSE(dialog->FindWindow(10114)->IsEnabled()) << "never saved";
        GuiTest::Toggle(dialog, 10115, false);
        GuiTest::Click(dialog, 10117);
    }
    EXPECT_EQ(app.Setting("preferences.matches.played"), "3");
    EXPECT_EQ(app.Setting("preferences.matches.lost"), "3");
    EXPECT_FALSE(app.Called("RescanActiveGames"));

    app.calls.clear();
    CGame* game = FinishedGame();
    CGameOverDialog* quiet = new CGameOverDialog(*game, 1, nullptr, wxID_ANY, nullptr);
    delete game;
    for (int id : {10114, 10115, 10116})
        GuiTest::Toggle(quiet, id, false);
    GuiTest::Click(quiet, 10117);
    GuiTest::Pump();
    EXPECT_EQ(app.calls, (std::vector<std::string>{"RebuildBrowser:0"}));
    EXPECT_EQ(app.Setting("preferences.matches.played"), "3");
    EXPECT_FALSE(app.userDrive.Exists("/played games/"));

    // The close box is an OK for what is ticked: the game is not lost.
    game = FinishedGame();
    CGameOverDialog* closed = new CGameOverDialog(*game, 1, nullptr, wxID_ANY, nullptr);
    delete game;
    GuiTest::CloseBox(closed);
    GuiTest::Pump();
    EXPECT_EQ(app.Setting("preferences.matches.won"), "1");
    EXPECT_EQ(app.Setting("preferences.matches.played"), "4");
}

TEST_F(GameDialogTest, GameOverKeepsTheGameHoweverItsWindowGoesAndOnlyOnce)
{
    auto playedGames = [&] {
        Zorlin::CArray<CString> files;
        if (app.userDrive.ChangeDirectory("/played games/"))
            app.userDrive.ListDirectory(files, false);
        app.userDrive.ChangeDirectory("/");
        return files.GetCount();
    };
    // Escape.
    CGame* game = FinishedGame();
    CGameOverDialog* escaped = new CGameOverDialog(*game, -1, nullptr, wxID_ANY, nullptr);
    delete game;
    escaped->Show();
    wxKeyEvent escape(wxEVT_CHAR_HOOK);
    escape.m_keyCode = WXK_ESCAPE;
    escape.SetEventObject(escaped);
    escaped->GetEventHandler()->ProcessEvent(escape);
    GuiTest::Pump();
    EXPECT_EQ(app.Setting("preferences.matches.lost"), "1");
    EXPECT_EQ(playedGames(), 1);

    // The program's end with the window open (also one not shown yet),
    // then the window destroyed: counted and kept once each.
    game = FinishedGame();
    CGameOverDialog* open = new CGameOverDialog(*game, -1, nullptr, wxID_ANY, nullptr);
    CGameOverDialog* pending = new CGameOverDialog(*game, 0, nullptr, wxID_ANY, nullptr);
    delete game;
    open->Show();
    CGameOverDialog::FinishAll();
    EXPECT_EQ(app.Setting("preferences.matches.lost"), "2");
    EXPECT_EQ(app.Setting("preferences.matches.drawn"), "1");
    EXPECT_EQ(playedGames(), 3);
    open->Destroy();
    delete pending;
    GuiTest::Pump();
    EXPECT_EQ(app.Setting("preferences.matches.played"), "3");
    EXPECT_EQ(playedGames(), 3);

    // Replaced before it was shown (a new game at once): still kept.
    game = FinishedGame();
    delete new CGameOverDialog(*game, 1, nullptr, wxID_ANY, nullptr);
    delete game;
    EXPECT_EQ(app.Setting("preferences.matches.won"), "1");
    EXPECT_EQ(playedGames(), 4);
}

TEST_F(GameDialogTest, PlayedGamesAreLabelledWithTheNamesAsTyped)
{
    // Names as German, French, Russian and mischievous users type them.
    const char* const players[][2] = {
        {"J\xc3\xbcrgen Gr\xc3\xb6\xc3\x9f", "Gnu Chess 5"},
        {"\xd0\x94\xd0\xbc\xd0\xb8\xd1\x82\xd1\x80\xd0\xb8\xd0\xb9 "
         "\xd0\xa1\xd0\xbc\xd0\xb8\xd1\x80\xd0\xbd\xd0\xbe\xd0\xb2",
         "Zo\xc3\xab \xc3\x91\xc3\xba\xc3\xb1" "ez"},
        {"<b>Bob</b> & \"Al\" \\ O'Neil", "Ann"},
    };
    for (const auto& names : players) {
        CGame* game = FinishedGame();
        game->GetTags()["White"] = names[0];
        game->GetTags()["Black"] = names[1];
        CGameOverDialog* dialog = new CGameOverDialog(*game, -1, nullptr, wxID_ANY, nullptr);
        delete game;
        GuiTest::Click(dialog, 10117);
        GuiTest::Pump();
    }
    Zorlin::CArray<CString> files;
    app.userDrive.ChangeDirectory("/played games/");
    app.userDrive.ListDirectory(files, false);
    app.userDrive.ChangeDirectory("/");
    ASSERT_EQ(files.GetCount(), 3);
    std::vector<std::string> labels;
    for (int i = 0; i < files.GetCount(); ++i) {
        const std::string file = files.GetAt(i)->GetText();
        const std::string label = ReadPlayedGameLabel(app.userDrive, *files.GetAt(i)).GetText();
        ASSERT_GT(label.size(), 18u) << file;
        EXPECT_EQ(label.substr(0, 18), file.substr(0, 18)) << "the time of the file name";
        labels.push_back(label.substr(18));
    }
    std::sort(labels.begin(), labels.end());
    EXPECT_EQ(labels, (std::vector<std::string>{
                          "<b>Bob</b> & \"Al\" \\ O'Neil vs Ann",
                          "J\xc3\xbcrgen Gr\xc3\xb6\xc3\x9f vs Gnu Chess 5",
                          "\xd0\x94\xd0\xbc\xd0\xb8\xd1\x82\xd1\x80\xd0\xb8\xd0\xb9 "
                          "\xd0\xa1\xd0\xbc\xd0\xb8\xd1\x80\xd0\xbd\xd0\xbe\xd0\xb2 vs Zo\xc3\xab "
                          "\xc3\x91\xc3\xba\xc3\xb1" "ez",
                      }));
}

TEST(PlayedGameLabel, OnlyAFileNamedForItsPlayersTakesTheirNames)
{
    const CString typed("J\xc3\xbcrgen Gr\xc3\xb6\xc3\x9f");
    const CString name = MakePlayedGameName(typed, "Ann", 1700000000) + ".pgn";
    const std::string stamp = std::string(name.GetText()).substr(0, 18);
    EXPECT_EQ(std::string(name.GetText()).substr(18), "Jrgen Gr vs Ann.pgn") << "the file name stays plain";
    EXPECT_EQ(std::string(PlayedGameLabel(name, typed, "Ann").GetText()), stamp + typed.GetText() + " vs Ann");
    // A second game of the same second.
    CString copy = MakePlayedGameName(typed, "Ann", 1700000000) + " (2).PGN";
    EXPECT_EQ(std::string(PlayedGameLabel(copy, typed, "Ann").GetText()), stamp + typed.GetText() + " vs Ann (2)");
    // Renamed by hand, put there by hand, or names that do not fit the file: its name is shown.
    EXPECT_TRUE(PlayedGameLabel(CString(stamp.c_str()) + "my best game.pgn", typed, "Ann").IsEmpty());
    EXPECT_TRUE(PlayedGameLabel("Jrgen Gr vs Ann.pgn", typed, "Ann").IsEmpty());
    EXPECT_TRUE(PlayedGameLabel(name, "Bob", "Ann").IsEmpty());
    EXPECT_TRUE(PlayedGameLabel(name + ".txt", typed, "Ann").IsEmpty());
    // Names that are not printable UTF-8 (an old Latin-1 file, a line break) are not shown.
    EXPECT_TRUE(PlayedGameLabel(MakePlayedGameName("J\xfcrgen", "Ann", 0) + ".pgn", "J\xfcrgen", "Ann").IsEmpty());
    EXPECT_TRUE(PlayedGameLabel(MakePlayedGameName("a\nb", "Ann", 0) + ".pgn", "a\nb", "Ann").IsEmpty());
    // Nobody typed a name: the file's "unknown" stands; a long one is cut at a whole letter.
    const CString cyrillic("\xd0\x94\xd0\xbc\xd0\xb8\xd1\x82\xd1\x80\xd0\xb8\xd0\xb9");
    CString many;
    for (int i = 0; i < 10; ++i)
        many += cyrillic;
    const std::string label =
        PlayedGameLabel(MakePlayedGameName("", many, 0) + ".pgn", "", many).GetText();
    ASSERT_GT(label.size(), 18u);
    EXPECT_EQ(label.substr(18, 11), "unknown vs ");
    EXPECT_EQ(label.substr(29), std::string(many.GetText()).substr(0, 80)) << "40 letters of two bytes";
}

TEST_F(GameDialogTest, GameOverRemovesOnlyTheClientsOwnCopyAndSaysHowTheGameEnded)
{
    // A game the user opened from a folder of their own stays.
    std::string mine = app.userPath + "../my games/kept.rwg";
    app.WriteFile(mine, "saved");
    CGame* game = FinishedGame();
    game->SetSavedPath(mine.c_str());
    CGameOverDialog* dialog = new CGameOverDialog(*game, -1, nullptr, wxID_ANY, nullptr);
    delete game;
    wxCheckBox* remove = GuiTest::Find<wxCheckBox>(dialog, 10114);
    ASSERT_NE(remove, nullptr);
    EXPECT_FALSE(remove->IsEnabled());
    EXPECT_FALSE(remove->GetValue());
    GuiTest::Toggle(dialog, 10114, true);
    GuiTest::Click(dialog, 10117);
    GuiTest::Pump();
    EXPECT_EQ(CFakeApp::ReadFile(mine), "saved") << "the user's own file is never removed";
    EXPECT_FALSE(app.Called("RescanActiveGames"));

    // The result is said at the top: mate on the board.
    game = FinishedGame();
    CGameOverDialog* said = new CGameOverDialog(*game, -1, nullptr, wxID_ANY, nullptr);
    delete game;
    wxStaticText* text = dynamic_cast<wxStaticText*>(said->FindWindow("resultText"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->GetLabel(), wxString::FromUTF8("Checkmate \xE2\x80\x94 Black wins"));
    for (int id : {10114, 10115, 10116})
        GuiTest::Toggle(said, id, false);
    said->Destroy();
    // And a loss on time.
    game = FinishedGame();
    game->SetResult(RESULT_WHITE_WINS);
    game->SetEndNote("on time");
    CGameOverDialog* flag = new CGameOverDialog(*game, 1, nullptr, wxID_ANY, nullptr);
    delete game;
    text = dynamic_cast<wxStaticText*>(flag->FindWindow("resultText"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->GetLabel(), "White wins on time");
    for (int id : {10114, 10115, 10116})
        GuiTest::Toggle(flag, id, false);
    flag->Destroy();
    GuiTest::Pump();
}

TEST_F(GameDialogTest, GameOverOfAGameWithoutAResultKeepsItButCountsNothing)
{
    CGame* game = FinishedGame();
    game->SetResult(RESULT_NONE);
    CGameOverDialog* dialog = new CGameOverDialog(*game, 0, nullptr, wxID_ANY, nullptr);
    delete game;
    wxCheckBox* record = dynamic_cast<wxCheckBox*>(dialog->FindWindow(10116));
    ASSERT_NE(record, nullptr);
    EXPECT_FALSE(record->IsEnabled());
    EXPECT_FALSE(record->GetValue());
    GuiTest::Click(dialog, 10117);
    GuiTest::Pump();
    EXPECT_EQ(app.Setting("preferences.matches.played"), "(missing)");
    EXPECT_EQ(app.Setting("preferences.matches.drawn"), "(missing)");
    Zorlin::CArray<CString> files;
    app.userDrive.ChangeDirectory("/played games/");
    app.userDrive.ListDirectory(files, false);
    app.userDrive.ChangeDirectory("/");
    ASSERT_EQ(files.GetCount(), 1);
    std::string pgn = CFakeApp::ReadFile(app.userPath + "played games/" + files.GetAt(0)->GetText());
    EXPECT_NE(pgn.find("[Result \"*\"]"), std::string::npos) << pgn;
    EXPECT_NE(pgn.find("Qh4 *"), std::string::npos) << pgn;
}

TEST_F(GameDialogTest, GameOverPageComesFromTheLanguageFolder)
{
    app.userSettings.GetValue("Preferences.Language") = "english";
    app.WriteProgramFile("html/english/youwin.htm", "<b>Well played!</b>");
    CGame* game = FinishedGame();
    CGameOverDialog* dialog = new CGameOverDialog(*game, 1, nullptr, wxID_ANY, "youwin");
    delete game;
    wxHtmlWindow* html = GuiTest::Find<wxHtmlWindow>(dialog, 10191);
    ASSERT_NE(html, nullptr);
    EXPECT_EQ(html->GetName(), "htmlWindow");
    EXPECT_NE(html->ToText().Find("Well played!"), wxNOT_FOUND);
    dialog->Destroy();

    CString page = CGameOverDialog::MakeResultPage("x", wxColour(1, 2, 254), wxColour(0, 0, 0));
    EXPECT_STREQ(page.GetText(), "<html><body bgcolor=\"#0102FE\" text=\"#000000\"><font "
                                 "face=\"arial,Helvetica,san-serif\">x</font></body></html>");
    CGame* other = FinishedGame();
    CGameOverDialog* missing = new CGameOverDialog(*other, 1, nullptr, wxID_ANY, "../../etc/passwd");
    delete other;
    EXPECT_EQ(GuiTest::Find<wxHtmlWindow>(missing, 10191)->ToText().Trim(), "");
    missing->Destroy();
    GuiTest::Pump();
}

TEST_F(GameDialogTest, PgnViewerListsARealFileAndOpensItsGames)
{
    std::string path = ROOKWELL_TESTDATA "/pgn/kasparov-deep-blue-1997.pgn";
    CGame* viewer = new CGame();
    viewer->GetSettings().GetValue("type") = "PGNGame";
    board->ResetView(viewer, true, false);
    CPgnViewerDialog* dialog = new CPgnViewerDialog(nullptr, new Zorlin::CWin32File(path.c_str(), 1));
    EXPECT_EQ(dialog->GetTitle(), "PGN Viewer");
    CPgnGameList* list = GuiTest::Find<CPgnGameList>(dialog, 10130);
    ASSERT_EQ(list->GetCount(), 6u);
    EXPECT_TRUE(list->GetString(0).StartsWith("1. "));
    EXPECT_EQ(list->GetString(5), "6. Deep Blue (Computer) vs Garry Kasparov");
    EXPECT_EQ(GuiTest::Find<wxStaticText>(dialog, 10129)->GetLabel(), "kasparov-deep-blue-1997.pgn");
    EXPECT_TRUE(dialog->IsEnabled()) << "input comes back after the import";
    // A row with two 20-letter names fits the list whole; the user may resize.
    EXPECT_TRUE(dialog->HasFlag(wxRESIZE_BORDER));
    EXPECT_GE(list->GetClientSize().x, list->GetTextExtent("6. Abcdefghijklmnopqrst vs Abcdefghijklmnopqrst").x);

    GuiTest::Choose(dialog, 10130, 5);
    EXPECT_GT(viewer->GetBoard().GetPly(), 10);
    EXPECT_FALSE(viewer->IsInPlay());
    const CString* white = viewer->GetTags().Find("White");
    ASSERT_NE(white, nullptr);
    EXPECT_STREQ(white->GetText(), "Deep Blue (Computer)");
    EXPECT_TRUE(board->Called("RefreshFromGame"));
    EXPECT_TRUE(board->Called("SyncScene"));
    EXPECT_TRUE(app.Called("Command:VIEW_BOARD"));
    int plies = viewer->GetBoard().GetPly();
    GuiTest::Choose(dialog, 10130, 0);
    EXPECT_NE(viewer->GetBoard().GetPly(), plies) << "another game replaces the first";

    // No keeps the window and the game; Yes ends the game and the window.
    prompt.QueueButton(wxNO);
    GuiTest::CloseBox(dialog);
    GuiTest::Pump();
    EXPECT_TRUE(dialog->IsShown());
    EXPECT_FALSE(board->Called("EndGame"));
    // Escape asks the same question.
    prompt.QueueButton(wxNO);
    wxKeyEvent escape(wxEVT_CHAR_HOOK);
    escape.m_keyCode = WXK_ESCAPE;
    escape.SetEventObject(dialog);
    dialog->GetEventHandler()->ProcessEvent(escape);
    GuiTest::Pump();
    EXPECT_TRUE(dialog->IsShown());
    ASSERT_EQ(prompt.GetCount(), 2);
    EXPECT_STREQ(prompt.GetQuestion(1).text.GetText(), "Close PGN file?");
    wxWeakRef<wxDialog> alive(dialog);
    prompt.QueueButton(wxYES);
    GuiTest::CloseBox(dialog);
    GuiTest::Pump();
    EXPECT_TRUE(board->Called("EndGame"));
    EXPECT_FALSE(alive);
    ASSERT_EQ(prompt.GetCount(), 3);
    EXPECT_STREQ(prompt.GetQuestion(0).text.GetText(), "Close PGN file?");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "PGN Viewer");
}

// A file of many games: every row shows its own game's players, drawn
// where it comes into view, and a row picked far down loads that game.
TEST_F(GameDialogTest, PgnViewerListOfManyGamesShowsAndLoadsThePickedRow)
{
    const int games = 20000;
    std::string text;
    for (int i = 0; i < games; ++i)
        text += "[White \"W" + std::to_string(i) + "\"]\n[Black \"B" + std::to_string(i) + "\"]\n[Result \"" +
                (i % 2 ? "0-1" : "1-0") + "\"]\n\n1. e4 e5 " + (i % 2 ? "0-1" : "2. Nf3 1-0") + "\n\n";
    app.WriteFile(app.userPath + "many.pgn", text);
    CGame* viewer = new CGame();
    viewer->GetSettings().GetValue("type") = "PGNGame";
    board->ResetView(viewer, true, false);
    CPgnViewerDialog* dialog =
        new CPgnViewerDialog(nullptr, new Zorlin::CWin32File((app.userPath + "many.pgn").c_str(), 1));
    CPgnGameList* list = GuiTest::Find<CPgnGameList>(dialog, 10130);
    ASSERT_EQ(list->GetCount(), unsigned(games));
    EXPECT_EQ(list->GetString(0), "1. W0 vs B0");
    EXPECT_EQ(list->GetString(12345), "12346. W12345 vs B12345");
    EXPECT_EQ(list->GetString(games), "") << "past the end";

    list->ScrollToRow(games - 1);
    list->Update();
    GuiTest::Pump();
    GuiTest::Choose(dialog, 10130, games - 1);
    EXPECT_EQ(list->GetSelection(), games - 1);
    const CString* white = viewer->GetTags().Find("White");
    ASSERT_NE(white, nullptr);
    EXPECT_STREQ(white->GetText(), "W19999");
    EXPECT_EQ(viewer->GetBoard().GetPly(), 2);
    GuiTest::Choose(dialog, 10130, 12344);
    white = viewer->GetTags().Find("White");
    ASSERT_NE(white, nullptr);
    EXPECT_STREQ(white->GetText(), "W12344");
    EXPECT_EQ(viewer->GetBoard().GetPly(), 3);
    prompt.QueueButton(wxYES);
    GuiTest::CloseBox(dialog);
    GuiTest::Pump();
}

// The viewer that is reading, seen from an event handled while it yields.
CPgnViewerDialog* ReadingViewer()
{
    for (wxWindow* window : wxTopLevelWindows)
        if (CPgnViewerDialog* viewer = dynamic_cast<CPgnViewerDialog*>(window); viewer && viewer->IsReading())
            return viewer;
    return nullptr;
}

// What the reading window offers at its first turn to the toolkit, and the
// way it is stopped then: the Cancel button, Escape, the close box, or the
// end of the program (which ends modal loops). Each keeps the games read
// so far, says so, and leaves a list that works.
TEST_F(GameDialogTest, PgnViewerReadingStopsAndKeepsTheGamesReadSoFar)
{
    // Long enough to be read in several slices however fast the machine.
    const int games = 200000;
    std::string text;
    for (int i = 0; i < games; ++i)
        text += "[White \"W" + std::to_string(i) + "\"]\n[Black \"B" + std::to_string(i) + "\"]\n\n1. e4 e5 2. Nf3 *\n\n";
    app.WriteFile(app.userPath + "big.pgn", text);
    const char* ways[] = {"Cancel", "Escape", "close box", "end of the program"};
    for (const char* way : ways) {
        SCOPED_TRACE(way);
        std::string seenLabel;
        bool cancelShown = false, cancelEnabled = false, listEnabled = true;
        wxTheApp->CallAfter([&, way] {
            CPgnViewerDialog* viewer = ReadingViewer();
            ASSERT_NE(viewer, nullptr) << "the window yields while it reads";
            seenLabel = GuiTest::Find<wxStaticText>(viewer, 10129)->GetLabel().ToStdString();
            wxWindow* cancel = viewer->FindWindow(wxID_CANCEL);
            ASSERT_NE(cancel, nullptr);
            cancelShown = cancel->IsShown();
            cancelEnabled = cancel->IsEnabled();
            listEnabled = GuiTest::Find<CPgnGameList>(viewer, 10130)->IsEnabled();
            std::string chosen = way;
            if (chosen == "Cancel") {
                GuiTest::Click(viewer, wxID_CANCEL);
            } else if (chosen == "Escape") {
                wxKeyEvent escape(wxEVT_CHAR_HOOK);
                escape.m_keyCode = WXK_ESCAPE;
                escape.SetEventObject(viewer);
                viewer->GetEventHandler()->ProcessEvent(escape);
            } else if (chosen == "close box") {
                GuiTest::CloseBox(viewer);
            } else {
                EXPECT_GE(EndModalLoops(), 1) << "the reading counts as a loop ended";
                EXPECT_EQ(EndModalLoops(), 0) << "and once only";
            }
        });
        CPgnViewerDialog* dialog =
            new CPgnViewerDialog(nullptr, new Zorlin::CWin32File((app.userPath + "big.pgn").c_str(), 1));
        EXPECT_EQ(seenLabel.rfind("Reading game ", 0), 0u) << seenLabel;
        EXPECT_TRUE(cancelShown);
        EXPECT_TRUE(cancelEnabled) << "the one thing that takes input while the file is read";
        EXPECT_FALSE(listEnabled);
        EXPECT_FALSE(dialog->IsReading());
        EXPECT_FALSE(dialog->IsComplete());
        EXPECT_EQ(dialog->IsStoppedByTheEnd(), std::string(way) == "end of the program");
        int kept = dialog->GetIndex().GetCount();
        EXPECT_GT(kept, 0);
        EXPECT_LT(kept, games);
        CPgnGameList* list = GuiTest::Find<CPgnGameList>(dialog, 10130);
        EXPECT_EQ(list->GetCount(), unsigned(kept));
        EXPECT_TRUE(list->IsEnabled());
        EXPECT_FALSE(dialog->FindWindow(wxID_CANCEL)->IsShown());
        EXPECT_EQ(GuiTest::Find<wxStaticText>(dialog, 10129)->GetLabel().ToStdString(),
                  "big.pgn: the first " + std::to_string(kept) + " games (reading cancelled)");
        EXPECT_EQ(list->GetString(unsigned(kept - 1)).ToStdString(),
                  std::to_string(kept) + ". W" + std::to_string(kept - 1) + " vs B" + std::to_string(kept - 1));
        EXPECT_TRUE(dialog->IsShown()) << "stopping the reading does not close the window";
        CString last;
        ASSERT_TRUE(dialog->ReadGame(kept - 1, last));
        EXPECT_NE(std::string(last.GetText()).find("1. e4 e5 2. Nf3 *"), std::string::npos) << "the last game whole";
        EXPECT_EQ(prompt.GetCount(), 0) << "nothing is asked";
        dialog->Destroy();
        GuiTest::Pump();
    }
    EXPECT_STREQ(CPgnViewerDialog::CutShortNote("club.pgn", 3).GetText(), "club.pgn: the first 3 games (reading cancelled)");
}

// A file that cannot be read to its end: the whole games before the failed
// read are listed, and the user is told that the list is incomplete.
TEST_F(GameDialogTest, PgnViewerSaysWhenTheFileCannotBeReadToItsEnd)
{
    std::string text;
    for (int i = 1; i <= 5; ++i)
        text += "[White \"W" + std::to_string(i) + "\"]\n[Black \"B\"]\n\n1. e4 e5 2. Nf3 Nc6 1-0\n\n";
    CPgnViewerDialog* dialog = new CPgnViewerDialog(nullptr, new CFailingFile(text, text.rfind("2. Nf3")));
    CPgnGameList* list = GuiTest::Find<CPgnGameList>(dialog, 10130);
    ASSERT_EQ(list->GetCount(), 4u);
    EXPECT_EQ(list->GetString(3), "4. W4 vs B");
    ASSERT_EQ(prompt.GetCount(), 1);
    EXPECT_STREQ(prompt.GetQuestion(0).text.GetText(),
                 "The list is incomplete: the file could not be read after game 4.");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "PGN Viewer");
    EXPECT_EQ(GuiTest::Find<wxStaticText>(dialog, 10129)->GetLabel(), "failing.pgn");
    dialog->Destroy();
    GuiTest::Pump();
}

TEST_F(GameDialogTest, PgnViewerOfAFileWithoutGames)
{
    app.WriteFile(app.userPath + "empty.pgn", "\n\n% nothing here\n");
    CPgnViewerDialog* dialog =
        new CPgnViewerDialog(nullptr, new Zorlin::CWin32File((app.userPath + "empty.pgn").c_str(), 1));
    EXPECT_EQ(GuiTest::Find<CPgnGameList>(dialog, 10130)->GetCount(), 0u);
    EXPECT_EQ(CPgnViewerDialog::ShortName("C:\\games\\club.pgn"), "club.pgn");
    EXPECT_EQ(CPgnViewerDialog::ShortName("club.pgn"), "club.pgn");
    dialog->Destroy();
    GuiTest::Pump();
}
