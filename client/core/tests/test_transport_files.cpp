// Opening transport files in the running client: each kind reaches its
// handler, every failure ends in its message, a package installs through
// the real progress window, and an update hands over to the updater and
// closes the client.

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/ChessView.h"
#include "client/core/Game.h"
#include "client/core/PGNGame.h"
#include "client/core/RemoteTransport.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/PreferencesDialog.h"
#include "client/core/ProfileArchive.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/Win32File.h"
#include "support/AppHarness.h"
#include "support/PackageBuilder.h"
#include "client/view/tests/support/GuiLeaks.h"

using AppTest::CHarness;
using PackageTest::SEntry;
using Zorlin::CString;

namespace {

class CFakeRemote : public CRemoteTransport {
public:
    // A plain game in play stands in for the e-mail game when a move is given.
    CGame* OpenEmailTurn(Zorlin::CArchiveDrive&, CString& moveText, bool& told) override
    {
        ++turns;
        told = refusedWithReason;
        if (move.empty())
            return nullptr;
        CGame* game = new CGame();
        game->Setup();
        game->Start();
        GetChessApp()->m_frame->GetChessView()->ResetView(game, true, false);
        moveText = move.c_str();
        return game;
    }
    void OpenJoinDialog(wxWindow*, const CString& address) override { joined.push_back(address.GetText()); }
    void InstallOpponentProfile(Zorlin::CFile&) override { ++profiles; }

    std::string move;
    // A refusal that the opener has shown itself.
    bool refusedWithReason = false;
    int turns = 0;
    int profiles = 0;
    std::vector<std::string> joined;
};

std::string ProfileArchive(const std::string& folder, const char* id)
{
    Zorlin::CConfig user;
    user.GetValue(".profile.name") = "Sender";
    user.GetValue(".profile.id") = id;
    Zorlin::CDiskDrive userDrive(folder.c_str());
    std::string path = folder + "/profile-" + std::to_string(std::hash<std::string>()(id)) + ".rwf";
    Zorlin::CWin32File out(CString(path.c_str()), Zorlin::CFile::kModeWrite | Zorlin::CFile::kModeCreate);
    EXPECT_TRUE(WriteProfileArchive(out, user, userDrive, false, false, ""));
    out.Close();
    return PackageTest::ReadFile(path);
}

std::vector<std::string> History(CGame& game)
{
    std::vector<std::string> texts;
    for (int i = 0; i < game.GetBoard().GetHistory().GetCount(); ++i)
        texts.push_back(game.GetBoard().GetHistory().GetAt(i)->m_shortText);
    return texts;
}

class TransportFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_client.PrepareReturningUser("language=english\n")) << m_client.GetError();
        m_files = m_client.Path("../files");
        ASSERT_EQ(mkdir(m_files.c_str(), 0755), 0);
        if (!m_client.Start({}))
            GTEST_SKIP() << m_client.GetError();
        ASSERT_TRUE(m_client.OnInitResult());
        m_app = m_client.GetApp();
        ASSERT_NE(m_app->m_frame, nullptr);
        m_client.GetPrompt().Clear();
    }
    void TearDown() override
    {
        SetRemoteTransport(nullptr);
        m_client.Stop();
        // The harness's folders go with it; so must our working folder.
        if (chdir("/") != 0)
            ADD_FAILURE() << "no root folder";
    }

    std::string File(const std::string& name, const std::string& bytes)
    {
        std::string path = m_files + "/" + name;
        PackageTest::WriteFile(path, bytes);
        return path;
    }
    std::string Archive(const std::string& name, const std::vector<SEntry>& entries)
    {
        std::string path = m_files + "/" + name;
        EXPECT_TRUE(PackageTest::WriteArchive(path, entries));
        return path;
    }
    // Opens path answering with the queued buttons; the last message shown.
    const CScriptedPrompt::SQuestion* Open(const std::string& path)
    {
        m_app->OpenTransportFile(path.c_str());
        int count = m_client.GetPrompt().GetCount();
        return count ? &m_client.GetPrompt().GetQuestion(count - 1) : nullptr;
    }

    // A game of two local players with a move not saved yet, made current.
    CGame* StartGameWithAMove()
    {
        CGame* game = new CGame();
        game->Setup();
        game->Start();
        m_app->m_frame->GetChessView()->ResetView(game, true, false);
        CMove move;
        EXPECT_TRUE(game->GetBoard().ParseSan("e4", move, true));
        EXPECT_TRUE(game->GetBoard().MakeMove(move, 0));
        EXPECT_TRUE(game->HasUnsavedPlay());
        return game;
    }


    CHarness m_client;
    CChessApp* m_app = nullptr;
    std::string m_files;
};

TEST_F(TransportFiles, EveryFailureEndsInItsMessage)
{
    const CScriptedPrompt::SQuestion* shown = Open(m_files + "/missing.rwf");
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text, "Could not open this file");
    EXPECT_EQ(shown->caption, "Rookwell File");
    EXPECT_TRUE(shown->style & wxICON_ERROR);

    shown = Open(File("notes.rwf", "just some text\n"));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text, "Don't know what to do with this file.");

    shown = Open(Archive("empty.rwf", {{"contents/", ""}, {"contents/a.txt", "a"}}));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text, "Could not retrieve file contents.");

    std::vector<SEntry> skin = {PackageTest::Manifest("Rookwell Lite", "skin", "a skin"), {"contents/x/a", "a"}};
    m_client.GetPrompt().Clear();
    shown = Open(Archive("skin.rwf", skin));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text, "Don't know what to do with this Rookwell File.\n\nWrong version perhaps?");
    EXPECT_EQ(m_client.GetPrompt().GetCount(), 1);

    // Saved games and PGN go to the frame's loaders by their extension, in any case.
    for (const char* name : {"game.Rwg", "games.PGN"}) {
        m_client.GetPrompt().Clear();
        Open(m_files + "/" + name);
        for (int i = 0; i < m_client.GetPrompt().GetCount(); ++i)
            EXPECT_NE(m_client.GetPrompt().GetQuestion(i).caption, "Rookwell File") << name;
    }
    // A name without a dot has no extension, whatever it ends in.
    m_client.GetPrompt().Clear();
    shown = Open(File("apgn", "just some text\n"));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text, "Don't know what to do with this file.");
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(TransportFiles, InvitationsAndTurnsWaitForRemotePlayOrGoToIt)
{
    const std::string invite =
        File("invite.rwf", "type = \"Network Invite\"\nfrom = \"Edmund\"\nip = \"192.168.1.7\"\n");
    const CScriptedPrompt::SQuestion* shown = Open(invite);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->caption, "Invitation");
    EXPECT_EQ(shown->text, "You have received an invitation from Edmund to join a network game.\n\n"
                           "Network games are not available in this version of Rookwell yet.");

    // A sender of 65,000 characters is cut to a name's 40.
    shown = Open(File("long.rwf", "type = \"Network Invite\"\nfrom = \"" + std::string(65000, 'x') + "\"\n"));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(std::string(shown->text.GetText()), "You have received an invitation from " + std::string(40, 'x') +
                               " to join a network game.\n\n"
                               "Network games are not available in this version of Rookwell yet.");

    std::vector<SEntry> turn = {PackageTest::Manifest("Rookwell", "EMAIL", "A move sent by email"),
                                {"contents/move.cfg", "move = e4\n"},
                                {"contents/message.txt", "your move"},
                                {"contents/Profile.rwf", ProfileArchive(m_files, "DEF456")}};
    const std::string turnFile = Archive("turn.rwf", turn);
    shown = Open(turnFile);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text, "Games by e-mail are not available in this version of Rookwell yet.\n\n"
                           "The turn was not opened.");

    CFakeRemote remote;
    SetRemoteTransport(&remote);
    m_client.GetPrompt().Clear();
    m_client.GetPrompt().QueueButton(wxOK);
    Open(invite);
    EXPECT_EQ(m_client.GetPrompt().GetQuestion(0).text,
              "You have received an invitation from Edmund to join a network game.\n\n"
              "Just click the 'Join Game' button in the following dialog to start playing.");
    ASSERT_EQ(remote.joined.size(), 1u);
    EXPECT_EQ(remote.joined[0], "192.168.1.7");

    // A turn that is not taken leaves its sender's profile unstored.
    shown = Open(turnFile);
    EXPECT_EQ(remote.profiles, 0);
    EXPECT_EQ(remote.turns, 1);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->caption, "Problem");
    EXPECT_EQ(shown->text, "Could not restore this game!");

    // A turn whose refusal the opener has shown gets no second message.
    remote.refusedWithReason = true;
    m_client.GetPrompt().Clear();
    Open(turnFile);
    EXPECT_EQ(remote.turns, 2);
    EXPECT_EQ(m_client.GetPrompt().GetCount(), 0);
    remote.refusedWithReason = false;

    // A taken one stores it once.
    remote.move = "e4";
    Open(turnFile);
    EXPECT_EQ(remote.profiles, 1);
    EXPECT_EQ(remote.turns, 3);

    // A sender whose id would name a file outside the opponents folder.
    turn[3].bytes = ProfileArchive(m_files, "../../cfg/app");
    m_client.GetPrompt().QueueButton(wxOK);
    shown = Open(Archive("bad-turn.rwf", turn));
    EXPECT_EQ(remote.profiles, 1) << "the profile was refused";
    // ... and the user is told so, not left to wonder.
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->caption, "Opponent's Profile");
    EXPECT_EQ(shown->text, kProfileRefused);
    EXPECT_EQ(remote.turns, 4);
    remote.move.clear();
    // Nothing to save at the end.
    m_app->m_frame->GetGame()->SetInPlay(false);

    shown = Open(Archive("no-contents.rwf", {PackageTest::Manifest("Rookwell", "email", "")}));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->caption, "Error opening file");
    EXPECT_EQ(shown->text, "Archive has no contents!");
    EXPECT_EQ(remote.turns, 4);
}

TEST_F(TransportFiles, ABoardInstallsIntoTheProgramFolder)
{
    std::vector<SEntry> board = {PackageTest::Manifest("Rookwell Lite", "board", "Large wood")};
    PackageTest::AddFolder(board, ROOKWELL_SOURCE "/data/boards/large wood", "contents/Large Wood Copy/");
    m_client.GetPrompt().QueueButton(wxYES);
    m_client.GetPrompt().QueueButton(wxOK);
    const CScriptedPrompt::SQuestion* shown = Open(Archive("board.rwf", board));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->caption, "Done") << m_client.Asked();
    const std::vector<std::string> files = PackageTest::ListFiles(ROOKWELL_SOURCE "/data/boards/large wood");
    EXPECT_EQ(PackageTest::ListFiles(m_client.Path("boards/Large Wood Copy")), files);
    EXPECT_TRUE(m_app->m_frame->IsEnabled());
    EXPECT_EQ(m_client.GetPrompt().GetUnexpectedCount(), 0);
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(TransportFiles, AnUpdateAsksAboutTheGameThenStartsTheUpdaterAndTheClientCloses)
{
    // A stand-in updater that records how it was started.
    const std::string updater = m_client.Path("updater");
    PackageTest::WriteFile(updater, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args.part\"\nmv \"$0.args.part\" \"$0.args\"\n");
    ASSERT_EQ(chmod(updater.c_str(), 0755), 0);
    std::vector<SEntry> update = {PackageTest::Manifest("Rookwell Lite", "update", "Version 1.1"),
                                  {"contents/update/readme.txt", "new"}};
    const std::string package = Archive("my update.rwf", update);

    // A game with an unsaved move: the user may keep it, and the client stays.
    CFakeRemote remote;
    SetRemoteTransport(&remote);
    remote.move = "e4";
    Open(Archive("turn.rwf", {PackageTest::Manifest("Rookwell", "email", ""), {"contents/move.cfg", ""}}));
    ASSERT_EQ(m_app->m_frame->GetGame()->GetBoard().GetPly(), 1);
    m_client.GetPrompt().Clear();
    m_client.GetPrompt().QueueButton(wxYES);
    m_client.GetPrompt().QueueButton(wxCANCEL);
    Open(package);
    ASSERT_EQ(m_client.GetPrompt().GetCount(), 2) << m_client.Asked();
    EXPECT_EQ(m_client.GetPrompt().GetQuestion(1).text, "Do you wish to save the current game?");
    for (int i = 0; i < 20; ++i)
        m_client.Pump();
    EXPECT_NE(m_app->m_frame, nullptr);
    EXPECT_FALSE(m_client.Exists("updater.args"));

    m_client.GetPrompt().Clear();
    m_client.GetPrompt().QueueButton(wxYES);
    m_client.GetPrompt().QueueButton(wxNO);
    Open(package);
    EXPECT_EQ(m_client.GetPrompt().GetCount(), 2) << m_client.Asked();
    ASSERT_TRUE(m_client.PumpUntil([&] { return m_app->m_frame == nullptr; })) << "the frame closes";
    // The updater is a process of its own: a loaded machine may take a while to start it.
    for (int i = 0; i < 6000 && !m_client.Exists("updater.args"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    char real[4096];
    ASSERT_NE(realpath(package.c_str(), real), nullptr);
    EXPECT_EQ(m_client.ReadFile("updater.args"), std::string(real) + "\ntavrin\n");
    EXPECT_EQ(m_client.GetPrompt().GetUnexpectedCount(), 0);
}

TEST_F(TransportFiles, AReceivedMoveIsPlayedOnlyWhenItIsLegal)
{
    CFakeRemote remote;
    SetRemoteTransport(&remote);
    std::vector<SEntry> turn = {PackageTest::Manifest("Rookwell", "email", "A move sent by email"),
                                {"contents/move.cfg", "move = e4\n"}};
    const std::string turnFile = Archive("turn.rwf", turn);
    struct SCase {
        const char* text;
        int plies;
    } cases[] = {{" e4 ", 1}, {"Nf3", 1}, {"Ke2", 0}, {"e5", 0}, {"", 0}, {"Nf3 and a very long comment after it", 0}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.text);
        remote.move = c.text[0] ? c.text : " ";
        m_client.GetPrompt().Clear();
        Open(turnFile);
        EXPECT_EQ(m_client.GetPrompt().GetCount(), 0) << m_client.Asked();
        CGame* game = m_app->m_frame->GetGame();
        ASSERT_NE(game, nullptr);
        m_client.PumpUntil([&] { return m_app->m_frame->GetGame()->GetBoard().GetPly() >= c.plies; });
        EXPECT_EQ(m_app->m_frame->GetGame()->GetBoard().GetPly(), c.plies);
    }
    // Nothing to save at the end.
    m_app->m_frame->GetGame()->SetInPlay(false);
}

// Folders, FIFOs and devices are refused at once, by the message of the
// kind their name says, and nothing is asked about the game on the board:
// a FIFO that a writer holds open but never writes to, or a device that
// never ends, would otherwise keep the client waiting or reading for ever.
TEST_F(TransportFiles, WhatIsNoPlainFileIsRefusedAtOnceWithoutAQuestion)
{
    CGame* game = StartGameWithAMove();
    const std::string pipe = m_files + "/pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // A writer that never writes: a read would wait for ever.
    const int writer = open(pipe.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    for (const char* name : {"pipe.pgn", "pipe.RWG", "pipe.rwf"})
        ASSERT_EQ(symlink(pipe.c_str(), (m_files + "/" + name).c_str()), 0);
    for (const char* name : {"zero.pgn", "zero.rwg", "zero.rwf", "zero"})
        ASSERT_EQ(symlink("/dev/zero", (m_files + "/" + name).c_str()), 0);
    for (const char* name : {"folder.pgn", "folder.rwg", "folder"})
        ASSERT_EQ(mkdir((m_files + "/" + name).c_str(), 0755), 0);
    struct SCase {
        std::string path;
        const char* text;
        const char* caption;
    } cases[] = {
        {m_files + "/pipe.pgn", "Could not open PGN file.", "Open"},
        {m_files + "/zero.pgn", "Could not open PGN file.", "Open"},
        {m_files + "/folder.pgn", "Could not open PGN file.", "Open"},
        {m_files + "/pipe.RWG", "Could not open the game file.", "Open"},
        {m_files + "/zero.rwg", "Could not open the game file.", "Open"},
        {m_files + "/folder.rwg", "Could not open the game file.", "Open"},
        {pipe, "Don't know what to do with this file.", "Rookwell File"},
        {m_files + "/pipe.rwf", "Don't know what to do with this file.", "Rookwell File"},
        {m_files + "/zero.rwf", "Don't know what to do with this file.", "Rookwell File"},
        {m_files + "/zero", "Don't know what to do with this file.", "Rookwell File"},
        {"/dev/zero", "Don't know what to do with this file.", "Rookwell File"},
        {m_files + "/folder", "Don't know what to do with this file.", "Rookwell File"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.path);
        m_client.GetPrompt().Clear();
        const CScriptedPrompt::SQuestion* shown = Open(c.path);
        ASSERT_EQ(m_client.GetPrompt().GetCount(), 1) << m_client.Asked();
        EXPECT_EQ(std::string(shown->text.GetText()), c.text);
        EXPECT_EQ(std::string(shown->caption.GetText()), c.caption);
        EXPECT_EQ(m_app->m_frame->GetGame(), game);
        EXPECT_EQ(game->GetBoard().GetPly(), 1);
    }
    close(writer);
    game->SetInPlay(false);
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

// A PGN file, a saved game and a network invitation would each replace a
// game with unsaved moves: the game is asked first, as the menu's Open
// does. Cancel keeps it, No lets it go.
TEST_F(TransportFiles, WhatWouldReplaceAGameInPlayAsksItFirst)
{
    const std::string pgn = m_files + "/club.pgn";
    PackageTest::WriteFile(pgn, "[White \"Ann\"]\n[Black \"Bob\"]\n\n1. e4 e5 2. Nf3 Nc6 1-0\n");
    const std::string saved = m_files + "/saved.rwg";
    PackageTest::WriteFile(saved, "game={type=PGNGame\n}\nmoves={#0={move=d4\n}\n}\n");
    const std::string invite =
        File("invite.rwf", "type = \"Network Invite\"\nfrom = \"Edmund\"\nip = \"192.168.1.7\"\n");
    CFakeRemote remote;
    SetRemoteTransport(&remote);
    CGame* game = StartGameWithAMove();

    for (const std::string& path : {pgn, saved}) {
        SCOPED_TRACE(path);
        m_client.GetPrompt().Clear();
        m_client.GetPrompt().QueueButton(wxCANCEL);
        Open(path);
        EXPECT_EQ(m_client.GetPrompt().CountText("Do you wish to save the current game?"), 1) << m_client.Asked();
        EXPECT_EQ(m_client.GetPrompt().GetCount(), 1) << m_client.Asked();
        EXPECT_EQ(m_app->m_frame->GetGame(), game);
        EXPECT_EQ(game->GetBoard().GetPly(), 1);
    }
    m_client.GetPrompt().Clear();
    m_client.GetPrompt().QueueButton(wxOK);
    m_client.GetPrompt().QueueButton(wxCANCEL);
    Open(invite);
    EXPECT_EQ(m_client.GetPrompt().CountText("Do you wish to save the current game?"), 1) << m_client.Asked();
    EXPECT_TRUE(remote.joined.empty()) << "no join dialog while the game stays";
    EXPECT_EQ(m_app->m_frame->GetGame(), game);

    m_client.GetPrompt().Clear();
    m_client.GetPrompt().QueueButton(wxOK);
    m_client.GetPrompt().QueueButton(wxNO);
    Open(invite);
    ASSERT_EQ(remote.joined.size(), 1u);
    EXPECT_EQ(m_app->m_frame->GetGame(), game) << "the fake join dialog joins nothing";

    m_client.GetPrompt().Clear();
    m_client.GetPrompt().QueueButton(wxNO);
    Open(saved);
    EXPECT_EQ(m_client.GetPrompt().CountText("Do you wish to save the current game?"), 1) << m_client.Asked();
    CGame* viewed = m_app->m_frame->GetGame();
    ASSERT_NE(viewed, game);
    EXPECT_EQ(viewed->GetBoard().GetPly(), 1);
    EXPECT_FALSE(viewed->HasUnsavedPlay());

    // A viewed game has nothing to save: the PGN file opens at once.
    m_client.GetPrompt().Clear();
    Open(pgn);
    EXPECT_EQ(m_client.GetPrompt().GetCount(), 0) << m_client.Asked();
    CPGNGame* shown = dynamic_cast<CPGNGame*>(m_app->m_frame->GetGame());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->GetBoard().GetPly(), 4);
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

// Files other starts hand over while the Preferences are open wait until
// the dialog closes; then each is carried out in turn, in the order they
// came, as a command line would open it: the first asks about the game in
// play, the next finds a viewed game and opens at once.
TEST_F(TransportFiles, HandedFilesWaitForAnOpenDialogThenOpenInTurn)
{
    const std::string pgn = m_files + "/club.pgn";
    PackageTest::WriteFile(pgn, "[White \"Ann\"]\n[Black \"Bob\"]\n\n1. e4 e5 2. Nf3 Nc6 1-0\n");
    const std::string saved = m_files + "/saved.rwg";
    PackageTest::WriteFile(saved, "game={type=PGNGame\n}\nmoves={#0={move=d4\n}\n#1={move=d5\n}\n#2={move=c4\n}\n}\n");
    CGame* game = StartGameWithAMove();

    bool seen = AppTest::RunWithModal<CPreferencesDialog>(
        [&] { EXPECT_TRUE(m_app->m_frame->ExecuteCommand("OPTIONS_PREFERENCES")); },
        [&](CPreferencesDialog& dialog) {
            m_app->OnHandedFiles({CString(pgn.c_str()), CString("/not/opened/second.pgn")});
            m_app->OnHandedFiles({CString(saved.c_str())});
            for (int i = 0; i < 20; ++i)
                wxTheApp->ProcessPendingEvents();
            EXPECT_EQ(m_app->m_frame->GetGame(), game);
            EXPECT_EQ(m_client.GetPrompt().GetCount(), 0) << m_client.Asked();
            EXPECT_TRUE(dialog.IsModal());
            EXPECT_TRUE(AppTest::Press(dialog, ID_PREFS_CANCEL));
        });
    ASSERT_TRUE(seen);
    m_client.GetPrompt().QueueButton(wxNO);
    // The game in play has one move, the PGN file's first game four.
    ASSERT_TRUE(m_client.PumpUntil([&] { return m_app->m_frame->GetGame()->GetBoard().GetPly() == 3; })) << m_client.Asked();
    ASSERT_EQ(m_client.GetPrompt().GetCount(), 1) << m_client.Asked();
    EXPECT_EQ(m_client.GetPrompt().GetQuestion(0).text, "Do you wish to save the current game?");
    EXPECT_EQ(m_client.GetPrompt().GetUnexpectedCount(), 0);
    EXPECT_EQ(History(*m_app->m_frame->GetGame()), (std::vector<std::string>{"d4", "d5", "c4"}));
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

} // namespace
