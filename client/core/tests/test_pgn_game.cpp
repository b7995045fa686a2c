// The PGN viewer game and the PGN and FEN commands against a recording
// frame and board under a private X server: real PGN files opened and
// stepped through (positions checked against chess.js), garbage and
// truncated text refused with the current game kept, copy and paste
// through the real clipboard, the export commands' questions and failures.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/filedlg.h>
#include <wx/html/htmlwin.h>
#include <wx/weakref.h>

#include "client/core/PGNGame.h"
#include "client/core/GameFileRules.h"
#include "client/core/PgnCommands.h"
#include "client/core/Prompt.h"
#include "client/core/WxText.h"
#include "client/dialogs/HtmlMessageBox.h"
#include "client/dialogs/PgnGameList.h"
#include "client/dialogs/PgnViewerDialog.h"
#include "client/dialogs/tests/support/FakeBoard.h"
#include "client/dialogs/tests/support/GuiTest.h"
#include "foundation/MemFile.h"

using Zorlin::CString;

namespace {

std::string Quote(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// chess.js's FEN before the first move and after each one; empty when node
// or chess.js is missing.
std::vector<std::string> OracleFens(const std::vector<std::string>& sans)
{
    std::vector<std::string> fens;
    const std::string module = std::string(ROOKWELL_ORACLE) + "/chess.js";
    if (access((module + "/package.json").c_str(), R_OK) != 0 || std::system("node --version >/dev/null 2>&1") != 0)
        return fens;
    std::string command = "node " + Quote(std::string(ROOKWELL_SOURCE) + "/client/core/tests/support/fen_oracle.js") +
                          " " + Quote(module);
    for (const std::string& san : sans)
        command += " " + Quote(san);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return fens;
    std::string out;
    char block[4096];
    size_t n;
    while ((n = fread(block, 1, sizeof block, pipe)) > 0)
        out.append(block, n);
    pclose(pipe);
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        fens.push_back(line);
    return fens;
}

std::string Fen(const CChessBoard& board)
{
    CString fen;
    EXPECT_TRUE(board.GetFen(fen, false));
    return fen.GetText();
}

// Ours and chess.js's FEN agree: chess.js names an en passant square only
// when a pawn can take there, ours after every double step.
::testing::AssertionResult SameFen(const std::string& ours, const std::string& theirs)
{
    std::istringstream a(ours), b(theirs);
    std::vector<std::string> fa, fb;
    std::string field;
    while (a >> field)
        fa.push_back(field);
    while (b >> field)
        fb.push_back(field);
    bool same = fa.size() == 6 && fb.size() == 6;
    for (size_t i = 0; same && i < 6; ++i)
        same = fa[i] == fb[i] || (i == 3 && fb[i] == "-" && fa[i].size() == 2 && (fa[i][1] == '3' || fa[i][1] == '6'));
    if (same)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << ours << " vs chess.js " << theirs;
}

std::vector<std::string> Sans(const CChessBoard& board)
{
    std::vector<std::string> sans;
    for (int i = 0; i < board.GetHistory().GetCount(); ++i)
        sans.push_back(board.GetHistory().GetAt(i)->m_shortText);
    return sans;
}

int CountViewers()
{
    int n = 0;
    for (wxWindow* top : wxTopLevelWindows)
        n += dynamic_cast<CPgnViewerDialog*>(top) != nullptr && !wxPendingDelete.Member(top);
    return n;
}

std::string ClipboardText()
{
    std::string text;
    if (wxTheClipboard->Open()) {
        wxTextDataObject data;
        if (wxTheClipboard->IsSupported(wxDF_UNICODETEXT) && wxTheClipboard->GetData(data))
            text = data.GetText().utf8_str().data();
        wxTheClipboard->Close();
    }
    return text;
}

void SetClipboardText(const char* text)
{
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(text)));
    wxTheClipboard->Close();
}

// The clipboard as another program on the display reads it, while this one
// keeps serving it; empty when that reader (Python's Tk) is not installed.
bool ReadClipboardElsewhere(std::string& text)
{
    if (std::system("python3 -c 'import tkinter' >/dev/null 2>&1") != 0)
        return false;
    char path[] = "/tmp/rookwell-clip-XXXXXX";
    int out = mkstemp(path);
    pid_t child = fork();
    if (child == 0) {
        dup2(out, 1);
        execlp("python3", "python3", "-c",
               "import tkinter,sys\nr=tkinter.Tk()\nr.withdraw()\nsys.stdout.write(r.clipboard_get())", nullptr);
        _exit(127);
    }
    // A generous bound: starting Python and Tk on a loaded machine takes seconds.
    int status = -1;
    for (int i = 0; i < 12000; ++i) {
        if (waitpid(child, &status, WNOHANG) == child)
            break;
        wxTheApp->Yield(true);
        usleep(5000);
    }
    text = CFakeApp::ReadFile(path);
    close(out);
    unlink(path);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class PgnGameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        board.reset(new CFakeBoard(app));
        prompt.Install();
        current = new CGame();
        current->Setup();
        for (const char* san : {"e4", "e5", "Nf3", "Nc6", "Bb5"}) {
            CMove move;
            ASSERT_TRUE(current->GetBoard().ParseSan(san, move, true));
            current->GetBoard().MakeMove(move, 0.0);
        }
        board->ResetView(current, true, false);
        board->calls.clear();
    }
    void TearDown() override
    {
        board.reset();
        GuiTest::Pump();
        EXPECT_EQ(CountViewers(), 0) << "a viewer outlived its game";
    }
    std::string Path(const char* name) { return app.userPath + name; }
    CPGNGame* Viewed() { return dynamic_cast<CPGNGame*>(board->GetGame()); }
    std::string LastMessage()
    {
        return prompt.GetCount() ? prompt.GetQuestion(prompt.GetCount() - 1).text.GetText() : std::string();
    }
    // The PGN text was refused: a message, the same current game with its
    // moves, no viewer left.
    void ExpectRefused(const std::string& what)
    {
        SCOPED_TRACE(what);
        CPGNGame* viewed = dynamic_cast<CPGNGame*>(current);
        const int viewers = viewed && viewed->GetViewer() ? 1 : 0;
        const int plies = current->GetBoard().GetPly();
        EXPECT_EQ(board->GetGame(), current);
        EXPECT_EQ(current->GetBoard().GetPly(), plies);
        EXPECT_FALSE(board->Called("ResetView"));
        std::string message = LastMessage();
        EXPECT_TRUE(message == "Could not open PGN file." || message.rfind("Illegal move: ", 0) == 0 ||
                    message.find(") cannot be shown: ") != std::string::npos ||
                    message == "Could not paste PGN from the clipboard." || message == "Could not paste PGN")
            << message;
        GuiTest::Pump();
        EXPECT_EQ(CountViewers(), viewers);
    }

    CFakeApp app;
    std::unique_ptr<CFakeBoard> board;
    CScriptedPrompt prompt;
    CGame* current = nullptr;
};

} // namespace

TEST_F(PgnGameTest, ARealFileIsOpenedAndItsGamesSteppedThrough)
{
    const std::string path = ROOKWELL_TESTDATA "/pgn/kasparov-deep-blue-1997.pgn";
    wxWeakRef<CGame> previous(current);
    CPgnCommands commands(*board);
    ASSERT_TRUE(commands.OpenPgnFile(path.c_str()));
    EXPECT_FALSE(previous) << "the board's previous game is deleted";
    CPGNGame* game = Viewed();
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(prompt.GetCount(), 0) << LastMessage();
    EXPECT_STREQ(game->GetSettings().GetValueOr("type", "").GetText(), "PGNGame");
    CString page;
    game->GetStatusPage(page);
    EXPECT_STREQ(page.GetText(), "pgnview.htm");
    EXPECT_FALSE(game->IsInPlay());
    EXPECT_TRUE(app.Called("Command:VIEW_BOARD"));
    EXPECT_TRUE(board->Called("RefreshFromGame"));
    ASSERT_EQ(game->GetGameCount(), 6);
    ASSERT_NE(game->GetViewer(), nullptr);
    EXPECT_EQ(GuiTest::Find<CPgnGameList>(game->GetViewer(), 10130)->GetCount(), 6u);
    EXPECT_GT(game->GetBoard().GetPly(), 20) << "the first game is on the board";

    // Each position of the first and the last game, ply by ply, as chess.js
    // has it.
    for (int n : {0, 5}) {
        CString error;
        ASSERT_TRUE(game->LoadGame(n, error)) << error.GetText();
        std::vector<std::string> sans = Sans(game->GetBoard());
        std::vector<std::string> fens = OracleFens(sans);
        if (fens.empty())
            GTEST_SKIP() << "node or chess.js is missing";
        ASSERT_EQ(fens.size(), sans.size() + 1);
        CChessBoard step;
        step.SetupStartPosition();
        EXPECT_TRUE(SameFen(Fen(step), fens[0]));
        for (size_t i = 0; i < sans.size(); ++i) {
            CMove move;
            ASSERT_TRUE(step.ParseSan(sans[i].c_str(), move, true)) << sans[i];
            ASSERT_TRUE(step.MakeMove(move, 0.0));
            ASSERT_TRUE(SameFen(Fen(step), fens[i + 1])) << "game " << n << " ply " << i + 1 << " " << sans[i];
        }
        EXPECT_TRUE(SameFen(Fen(game->GetBoard()), fens.back()));
    }

    // A game chosen in the list goes on this game's board.
    GuiTest::Choose(game->GetViewer(), 10130, 5);
    const CString* white = game->GetTags().Find("White");
    ASSERT_NE(white, nullptr);
    EXPECT_STREQ(white->GetText(), "Deep Blue (Computer)");

    // Reset changes nothing and says why.
    const int plies = game->GetBoard().GetPly();
    game->Reset();
    EXPECT_EQ(game->GetBoard().GetPly(), plies);
    EXPECT_EQ(board->GetGame(), game);
    ASSERT_EQ(prompt.GetCount(), 1);
    EXPECT_STREQ(prompt.GetQuestion(0).text.GetText(),
                 "Can't reset PGN viewer.\n\nFor a new game please use the Game menu.");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Reset game");

    // End closes the viewer; the game stays on the board.
    wxWeakRef<CPgnViewerDialog> viewer(game->GetViewer());
    game->End();
    GuiTest::Pump();
    EXPECT_FALSE(viewer);
    EXPECT_EQ(game->GetBoard().GetPly(), plies);
}

TEST_F(PgnGameTest, GarbageAndTruncatedPgnKeepTheCurrentGame)
{
    CPgnCommands commands(*board);
    struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"garbage.pgn", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe{[(", 20)},
        {"words.pgn", "Dear club, the games follow next week.\n"},
        {"cut-in-tag.pgn", "[Event \"Club championship\"]\n[White \"An"},
        {"only-tags-cut.pgn", "[Event \"Club\"]\n[Site \"Ho"},
        {"empty.pgn", ""},
        {"bad-first-move.pgn", "[Event \"x\"]\n\n1. e5 e4 *\n"},
        {"antichess.pgn", "[Variant \"Antichess\"]\n\n1. e3 b5 *\n"},
    };
    for (const auto& c : cases) {
        app.WriteFile(Path(c.name), c.bytes);
        prompt.Clear();
        EXPECT_FALSE(commands.OpenPgnFile(Path(c.name).c_str())) << c.name;
        ExpectRefused(c.name);
    }
    prompt.Clear();
    EXPECT_FALSE(commands.OpenPgnFile(Path("missing.pgn").c_str()));
    EXPECT_EQ(LastMessage(), "Could not open PGN file.");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Open");
    ExpectRefused("missing");

    // Cut after two good moves: the message names the cut move, and the
    // moves before it are shown.
    app.WriteFile(Path("cut-in-moves.pgn"), "[Event \"x\"]\n[White \"Ann\"]\n\n1. e4 e5 2. Nf");
    prompt.Clear();
    ASSERT_TRUE(commands.OpenPgnFile(Path("cut-in-moves.pgn").c_str()));
    EXPECT_EQ(LastMessage(), "Illegal move: Nf\n\nGame 1 (Ann vs unknown), move 2 (White).");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Open PGN");
    ASSERT_NE(Viewed(), nullptr);
    EXPECT_EQ(Viewed()->GetBoard().GetPly(), 2);
}

TEST_F(PgnGameTest, CopyAndPasteGoThroughTheRealClipboard)
{
    CPgnCommands commands(*board);
    commands.CopyPgn();
    ASSERT_EQ(prompt.GetCount(), 1);
    EXPECT_STREQ(prompt.GetQuestion(0).text.GetText(), "A PGN of the current game has been placed on the clipboard.");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Copy PGN");
    const std::string copied = ClipboardText();
    EXPECT_NE(copied.find("[Event \"Rookwell\"]"), std::string::npos) << copied;
    EXPECT_NE(copied.find("1. e4 e5 2. Nf3 Nc6 3. Bb5 *"), std::string::npos) << copied;
    std::string elsewhere;
    if (ReadClipboardElsewhere(elsewhere)) {
        EXPECT_EQ(elsewhere, copied) << "another program reads the same text";
    }

    const std::vector<std::string> moves = Sans(current->GetBoard());
    prompt.Clear();
    commands.PastePgn();
    EXPECT_EQ(prompt.GetCount(), 0) << LastMessage();
    CPGNGame* pasted = Viewed();
    ASSERT_NE(pasted, nullptr);
    EXPECT_EQ(Sans(pasted->GetBoard()), moves);
    EXPECT_EQ(pasted->GetGameCount(), 1);

    // Text that is no PGN, and no text at all, leave the board alone; text
    // with a tag or a move in it is PGN with an illegal move.
    current = pasted;
    board->calls.clear();
    const struct {
        const char* text;
        const char* message;
    } refusals[] = {
        {"Meeting at noon in the library. Bring 2 copies.", "Could not paste PGN from the clipboard."},
        {"{Meeting} 1. 2. ... 1-0", "Could not paste PGN from the clipboard."},
        {"Meeting e4 e5", "Illegal move: Meeting\n\nGame 1 (unknown vs unknown), move 1 (White)."},
        {"[White \"Ann\"]\n\nMeeting at noon", "Illegal move: Meeting\n\nGame 1 (Ann vs unknown), move 1 (White)."},
    };
    for (const auto& refusal : refusals) {
        SetClipboardText(refusal.text);
        prompt.Clear();
        commands.PastePgn();
        EXPECT_EQ(LastMessage(), refusal.message) << refusal.text;
        ExpectRefused(refusal.text);
    }
    // Bare moves up to an illegal one are shown up to there, and it is told.
    SetClipboardText("1. e4 e5 2. Ke3");
    prompt.Clear();
    commands.PastePgn();
    EXPECT_EQ(LastMessage(), "Illegal move: Ke3\n\nGame 1 (unknown vs unknown), move 2 (White).");
    current = Viewed();
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->GetBoard().GetPly(), 2);
    board->calls.clear();

    ASSERT_TRUE(wxTheClipboard->Open());
    wxTheClipboard->Clear();
    wxTheClipboard->Close();
    prompt.Clear();
    commands.PastePgn();
    EXPECT_EQ(LastMessage(), "Could not paste PGN");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Paste PGN");
    ExpectRefused("empty clipboard");

    // Bare moves pasted are copied out with the Seven Tag Roster.
    SetClipboardText("1. d4 d5 2. c4");
    prompt.Clear();
    commands.PastePgn();
    EXPECT_EQ(prompt.GetCount(), 0) << LastMessage();
    ASSERT_NE(Viewed(), nullptr);
    commands.CopyPgn();
    EXPECT_EQ(ClipboardText(), "[Event \"?\"]\r\n[Site \"?\"]\r\n[Date \"????.??.??\"]\r\n[Round \"?\"]\r\n"
                               "[White \"?\"]\r\n[Black \"?\"]\r\n[Result \"*\"]\r\n\r\n1. d4 d5 2. c4 *\r\n");
}

TEST_F(PgnGameTest, TheViewerKeepsItsOwnCopyOfTheText)
{
    CPGNGame* game = new CPGNGame();
    game->Setup();
    {
        Zorlin::CMemFile text;
        text.Open("clipboard.pgn", 11);
        text.WriteString("[White \"A\"]\n\n1. d4 d5 *\n\n[White \"B\"]\n\n1. c4 e5 2. g3 *\n");
        text.Seek(0, 0);
        ASSERT_TRUE(game->OpenPgn(text));
        // Overwritten and gone before the viewer reads a game again.
        text.Seek(0, 0);
        text.WriteString("xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
    }
    ASSERT_EQ(game->GetGameCount(), 2);
    CString error;
    ASSERT_TRUE(game->LoadGame(1, error)) << error.GetText();
    EXPECT_EQ(Sans(game->GetBoard()), (std::vector<std::string>{"c4", "e5", "g3"}));
    ASSERT_TRUE(game->LoadGame(0, error)) << error.GetText();
    EXPECT_EQ(game->GetBoard().GetPly(), 2);
    EXPECT_FALSE(game->LoadGame(2, error));
    game->Destroy();
}

TEST_F(PgnGameTest, ExportPgnAsksAppendsAndReportsFailures)
{
    int changed = 0;
    CPgnCommands::SHooks hooks;
    hooks.gamesChanged = [&] { ++changed; };
    CPgnCommands commands(*board, hooks);
    const std::string path = Path("club.pgn");

    prompt.QueueText(path.c_str());
    commands.ExportPgn();
    EXPECT_EQ(changed, 1);
    ASSERT_EQ(prompt.GetCount(), 1);
    EXPECT_STREQ(prompt.GetQuestion(0).text.GetText(), "Export PGN");
    EXPECT_EQ(prompt.GetQuestion(0).kind, CScriptedPrompt::kFile);
    // Proposed as Save proposes, among the played games.
    EXPECT_EQ(prompt.GetQuestion(0).file, MakeSavedGameName(*current, ".pgn"));
    EXPECT_NE(std::string(prompt.GetQuestion(0).file.GetText()).find(" vs "), std::string::npos);
    EXPECT_EQ(prompt.GetQuestion(0).folder, CPgnCommands::PlayedGamesFolder());

    // Exists: cancel goes back to the file question, Append then adds.
    // Typed without its extension, the same file.
    prompt.Clear();
    prompt.QueueText(Path("club").c_str());
    prompt.QueueChoice(-1);
    prompt.QueueText(path.c_str());
    prompt.QueueChoice(0);
    commands.ExportPgn();
    ASSERT_EQ(prompt.GetCount(), 4);
    EXPECT_STREQ(prompt.GetQuestion(1).text.GetText(), "club.pgn exists.\n\nPlease select one of the options below.");
    EXPECT_STREQ(prompt.GetQuestion(1).caption.GetText(), "Export PGN");
    ASSERT_EQ(prompt.GetQuestion(1).choices.GetCount(), 2);
    EXPECT_STREQ(prompt.GetQuestion(1).choices.GetAt(0)->GetText(), "Append PGN to this file");
    EXPECT_STREQ(prompt.GetQuestion(1).choices.GetAt(1)->GetText(), "Overwrite existing file");
    EXPECT_EQ(changed, 2);
    std::string text = CFakeApp::ReadFile(path);
    size_t first = text.find("[Event");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(text.find("3. Bb5 *\r\n\r\n[Event", first), std::string::npos);

    // Cancelled: nothing written.
    prompt.Clear();
    commands.ExportPgn();
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(CFakeApp::ReadFile(path), text);

    // Targets that cannot be written say so and change nothing.
    for (const char* target : {"/proc/version.pgn", "/nonexistent-folder/x.pgn"}) {
        prompt.Clear();
        prompt.QueueText(target);
        prompt.QueueButton(wxOK);
        commands.ExportPgn();
        EXPECT_EQ(LastMessage(), std::string("Could not write the PGN file:\n\n") + target);
        EXPECT_STREQ(prompt.GetQuestion(prompt.GetCount() - 1).caption.GetText(), "Export PGN");
    }
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(prompt.GetUnexpectedCount(), 0);
}

TEST_F(PgnGameTest, ExportFenWritesOneLineAsChessJsHasIt)
{
    CPgnCommands commands(*board);
    const std::string path = Path("position.fen");
    prompt.QueueText(Path("position").c_str());
    commands.ExportFen();
    EXPECT_EQ(prompt.GetCount(), 1);
    EXPECT_EQ(prompt.GetQuestion(0).file, MakeSavedGameName(*current, ".fen"));
    EXPECT_EQ(prompt.GetQuestion(0).folder, CPgnCommands::PlayedGamesFolder());
    const std::string fen = CFakeApp::ReadFile(path);
    EXPECT_EQ(fen.find('\n'), std::string::npos);
    EXPECT_EQ(fen.find('\0'), std::string::npos);
    EXPECT_EQ(fen, Fen(current->GetBoard()));
    std::vector<std::string> oracle = OracleFens(Sans(current->GetBoard()));
    if (!oracle.empty()) {
        EXPECT_TRUE(SameFen(fen, oracle.back()));
    }
    EXPECT_EQ(fen, "r1bqkbnr/pppp1ppp/2n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3");

    // An existing file is replaced only after a Yes.
    prompt.Clear();
    prompt.QueueText(path.c_str());
    prompt.QueueButton(wxNO);
    prompt.QueueText(CString(), false);
    commands.ExportFen();
    EXPECT_EQ(prompt.CountText("position.fen already exists.\n\nDo you want to replace it?"), 1);
    EXPECT_EQ(CFakeApp::ReadFile(path), fen);

    prompt.Clear();
    prompt.QueueText("/proc/version");
    commands.ExportFen();
    EXPECT_EQ(LastMessage(), "Could not write the FEN file:\n\n/proc/version.fen");
    EXPECT_STREQ(prompt.GetQuestion(1).caption.GetText(), "Export FEN");
}

TEST_F(PgnGameTest, DisplayPgnShowsTheMovesInABox)
{
    current->GetTags()["White"] = "<i>Ann</i>";
    CPgnCommands commands(*board);
    commands.DisplayPgn();
    CHtmlMessageBox* box = nullptr;
    for (wxWindow* top : wxTopLevelWindows)
        if (CHtmlMessageBox* b = dynamic_cast<CHtmlMessageBox*>(top))
            if (b->GetTitle() == "Display PGN")
                box = b;
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->IsShown());
    EXPECT_GE(box->GetSize().x, 550);
    wxHtmlWindow* html = nullptr;
    for (wxWindow* child : box->GetChildren())
        if (wxHtmlWindow* h = dynamic_cast<wxHtmlWindow*>(child))
            html = h;
    ASSERT_NE(html, nullptr);
    const std::string shown = html->ToText().utf8_str().data();
    EXPECT_NE(shown.find("1. e4 e5 2. Nf3 Nc6 3. Bb5"), std::string::npos) << shown;
    EXPECT_NE(shown.find("<i>Ann</i>"), std::string::npos) << "markup from a tag shows as text: " << shown;
    box->Destroy();
    GuiTest::Pump();
}

TEST_F(PgnGameTest, ClosingTheViewerWithYesEndsTheGameAndTheWindowOnce)
{
    // The frame's End Game: the board gets a plain game, which deletes the
    // PGN game while the viewer is still in its close handler.
    board->GetWindow()->Bind(
        wxEVT_MENU,
        [this](wxCommandEvent& event) {
            CGame* dummy = new CGame();
            dummy->Setup();
            board->ResetView(dummy, true, false);
            event.Skip();
        },
        ID_MENU_END_GAME);
    CPgnCommands commands(*board);
    ASSERT_TRUE(commands.OpenPgnFile(ROOKWELL_TESTDATA "/pgn/molinari-bordais-1979.pgn"));
    ASSERT_NE(Viewed(), nullptr);
    wxWeakRef<CGame> game(Viewed());
    wxWeakRef<CPgnViewerDialog> viewer(Viewed()->GetViewer());
    ASSERT_TRUE(viewer);

    prompt.QueueButton(wxNO);
    GuiTest::CloseBox(viewer.get());
    GuiTest::Pump();
    EXPECT_TRUE(viewer);
    EXPECT_TRUE(game);

    prompt.QueueButton(wxYES);
    GuiTest::CloseBox(viewer.get());
    GuiTest::Pump();
    EXPECT_TRUE(board->Called("EndGame"));
    EXPECT_FALSE(game);
    EXPECT_FALSE(viewer);
    EXPECT_EQ(Viewed(), nullptr);
}

TEST_F(PgnGameTest, AFrameThatStartsClosingAsTheBoardComesUpDoesNotTakeTheFile)
{
    CPgnCommands::SHooks hooks;
    hooks.showBoard = [this] { board->closing = true; };
    CPgnCommands commands(*board, hooks);
    EXPECT_FALSE(commands.OpenPgnFile(ROOKWELL_TESTDATA "/pgn/kasparov-deep-blue-1997.pgn"));
    EXPECT_EQ(board->GetGame(), current);
    EXPECT_FALSE(board->Called("ResetView"));
    EXPECT_EQ(prompt.GetCount(), 0) << LastMessage();
    GuiTest::Pump();
    EXPECT_EQ(CountViewers(), 0);
}

TEST_F(PgnGameTest, AViewedGameIsCopiedWithTheFilesTagsAndResult)
{
    CPgnCommands commands(*board);
    ASSERT_TRUE(commands.OpenPgnFile(ROOKWELL_TESTDATA "/pgn/kasparov-deep-blue-1997.pgn"));
    ASSERT_NE(Viewed(), nullptr);
    EXPECT_EQ(Viewed()->GetResult(), RESULT_WHITE_WINS);
    prompt.Clear();
    commands.CopyPgn();
    const std::string copied = ClipboardText();
    EXPECT_NE(copied.find("[White \"Garry Kasparov\"]"), std::string::npos) << copied;
    EXPECT_NE(copied.find("[Black \"Deep Blue (Computer)\"]"), std::string::npos) << copied;
    EXPECT_NE(copied.find("[Result \"1-0\"]"), std::string::npos) << copied;
    EXPECT_EQ(copied.substr(copied.size() - 5), "1-0\r\n");
}

// A file of puzzles and games as they are found: a set-up first game does
// not close the file; a game chosen in the list that cannot be shown is
// told, with its number and the reason, and leaves the board, the tags,
// the result and the list as they were.
TEST_F(PgnGameTest, GamesThatCannotBeShownAreToldAndChangeNothing)
{
    const std::string puzzle = "[Event \"Puzzle\"]\n[White \"Mate in one\"]\n[SetUp \"1\"]\n"
                               "[FEN \"6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1\"]\n[Result \"*\"]\n\n1. Rd8# *\n\n";
    app.WriteFile(Path("puzzles.pgn"),
                  puzzle + "[Event \"Two\"]\n[White \"Ann\"]\n[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 1-0\n\n"
                           "[Event \"Three\"]\n[White \"Bob\"]\n\n1. d4 d5 2. Qd3 Qxh2 *\n\n"
                           "[Event \"Four\"]\n[Variant \"Crazyhouse\"]\n\n1. e4 *\n");
    CPgnCommands commands(*board);
    ASSERT_TRUE(commands.OpenPgnFile(Path("puzzles.pgn").c_str()));
    ASSERT_EQ(prompt.GetCount(), 1);
    EXPECT_EQ(LastMessage(), "Game 1 (Mate in one vs unknown) cannot be shown: games from a set-up position are "
                             "not supported.");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Open PGN");
    CPGNGame* game = Viewed();
    ASSERT_NE(game, nullptr);
    ASSERT_NE(game->GetViewer(), nullptr);
    EXPECT_EQ(game->GetGameCount(), 4);
    EXPECT_EQ(Fen(game->GetBoard()), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_EQ(game->GetTags().Find("Event")->GetText(), std::string()) << "not the puzzle's tags";
    EXPECT_TRUE(board->Called("RefreshFromGame"));

    wxWindow* viewer = game->GetViewer();
    GuiTest::Choose(viewer, 10130, 1);
    ASSERT_EQ(game->GetBoard().GetPly(), 3);
    const std::string shown = Fen(game->GetBoard());
    EXPECT_EQ(game->GetResult(), RESULT_WHITE_WINS);
    EXPECT_EQ(prompt.GetCount(), 1) << LastMessage();

    struct {
        int row;
        const char* message;
    } refused[] = {
        {0, "Game 1 (Mate in one vs unknown) cannot be shown: games from a set-up position are not supported."},
        {2, "Illegal move: Qxh2\n\nGame 3 (Bob vs unknown), move 2 (Black)."},
        {3, "Game 4 (unknown vs unknown) cannot be shown: the variant Crazyhouse is not supported."},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.message);
        const int asked = prompt.GetCount();
        board->calls.clear();
        GuiTest::Choose(viewer, 10130, r.row);
        ASSERT_EQ(prompt.GetCount(), asked + 1);
        EXPECT_EQ(LastMessage(), r.message);
        EXPECT_STREQ(prompt.GetQuestion(asked).caption.GetText(), "PGN Viewer");
        EXPECT_EQ(Fen(game->GetBoard()), shown) << "the board stays as it was";
        EXPECT_STREQ(game->GetTags().Find("Event")->GetText(), "Two");
        EXPECT_EQ(game->GetResult(), RESULT_WHITE_WINS);
        EXPECT_FALSE(board->Called("RefreshFromGame"));
        EXPECT_EQ(Viewed(), game);
        EXPECT_EQ(game->GetViewer(), viewer) << "the file stays open";
    }
    // The list is still there to choose from.
    GuiTest::Choose(viewer, 10130, 1);
    EXPECT_EQ(game->GetBoard().GetPly(), 3);
    EXPECT_EQ(GuiTest::Find<CPgnGameList>(viewer, 10130)->GetCount(), 4u);

    // A file whose only game is set up opens nothing: the game before stays.
    app.WriteFile(Path("one puzzle.pgn"), puzzle);
    current = game;
    board->calls.clear();
    prompt.Clear();
    EXPECT_FALSE(commands.OpenPgnFile(Path("one puzzle.pgn").c_str()));
    EXPECT_EQ(LastMessage(), "Game 1 (Mate in one vs unknown) cannot be shown: games from a set-up position are "
                             "not supported.");
    ExpectRefused("one puzzle");
}

