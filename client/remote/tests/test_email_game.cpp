// The e-mail game with its turn window on a real display: what the window
// writes and saves, how a received turn is opened (resignation, draw offer,
// the colour question), a game only viewed from a saved file, and taking
// back, every question answered through the prompt seam.
#include <algorithm>
#include <sys/stat.h>

#include <wx/checkbox.h>
#include <wx/evtloop.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "chess/ChessBoard.h"
#include "chess/Move.h"
#include "client/core/Prompt.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/SendEmailDialog.h"
#include "client/dialogs/SendOrSaveDialog.h"
#include "client/dialogs/tests/support/GuiTest.h"
#include "client/remote/EmailGame.h"
#include "client/remote/EmailPlayer.h"
#include "client/remote/EmailRecord.h"
#include "client/remote/EmailTurn.h"
#include "client/remote/tests/support/RemoteFixture.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/URL.h"
#include "foundation/Win32File.h"

using namespace RemoteTest;
using Zorlin::CConfig;
using Zorlin::CString;

namespace {

const char* const kViewingResign =
    "You are viewing a saved email game.\n\nTo resign the game, open the last '.rwf' file you were sent.";
const char* const kViewingDraw =
    "You are viewing a saved email game.\n\nTo offer a draw, open the last '.rwf' file you were sent.";
const char* const kOpponentsMove = "Can not take back opponent's move in an Email game.";

std::string Text(wxWindow* dialog, int id)
{
    return std::string(GuiTest::Find<wxTextCtrl>(dialog, id)->GetValue().utf8_str());
}

bool Ticked(wxWindow* dialog, int id)
{
    return GuiTest::Find<wxCheckBox>(dialog, id)->GetValue();
}

// Presses a button of the modal "Send or Save?" once it is up.
void AnswerSendOrSave(int button)
{
    wxTheApp->CallAfter([button] {
        for (wxWindow* window : wxTopLevelWindows) {
            wxDialog* dialog = dynamic_cast<CSendOrSaveDialog*>(window);
            if (dialog && dialog->IsModal()) {
                GuiTest::Click(dialog, button);
                return;
            }
        }
        ADD_FAILURE() << "no Send or Save? dialog";
    });
}

class EmailGame : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        m_services.reset(new CTestServices());
        Me("ann01", "Ann", "ann@example.org");
        m_prompt.Install();
    }
    void TearDown() override
    {
        for (CEmailGame* game : m_games)
            delete game;
        GuiTest::Pump();
    }

    void Me(const char* id, const char* name, const char* email)
    {
        CConfig& user = m_services->m_userSettings;
        user.GetValue(".profile.id") = id;
        user.GetValue(".profile.name") = name;
        user.GetValue(".profile.email") = email;
    }
    CEmailGame* MakeGame()
    {
        m_games.push_back(new CEmailGame());
        m_games.back()->Setup();
        return m_games.back();
    }
    void Play(CEmailGame* game, const char* san)
    {
        CMove move;
        ASSERT_TRUE(game->GetBoard().ParseSan(san, move, true)) << san;
        CString text;
        game->GetBoard().MakeSan(move, text);
        move.m_text = text;
        ASSERT_TRUE(game->GetBoard().MakeMove(move, 0.0));
        game->GetEmailPlayer()->OpponentMoved(move);
    }
    // A turn as Ann sends it after playing moves as White against bob.
    EmailTurn::STurn AnnsTurn(const std::vector<const char*>& moves)
    {
        CEmailGame* sender = MakeGame();
        sender->Start();
        sender->StartGame(WHITE, "Bob", "bob@example.org");
        for (size_t i = 0; i < moves.size(); ++i) {
            Play(sender, moves[i]);
            if (i + 1 < moves.size())
                sender->GetEmailPlayer()->GetDialog()->SetMove("");
        }
        EmailTurn::STurn turn;
        turn.move = moves.empty() ? "" : moves.back();
        turn.from = "ann@example.org";
        turn.id = "ann01";
        turn.message = "Your move, Bob.";
        sender->Save(turn.game);
        // Ann's own copy stays on her machine.
        EmailRecord::Forget(m_services->GetUserDrive(), EmailRecord::GameId(turn.game));
        CString why;
        EXPECT_TRUE(EmailTurn::Check(turn, why)) << why.GetText();
        return turn;
    }
    CSendEmailDialog* Window(CEmailGame* game) { return game->GetEmailPlayer()->GetDialog(); }

    std::unique_ptr<CTestServices> m_services;
    CScriptedPrompt m_prompt;
    std::vector<CEmailGame*> m_games;
};

TEST_F(EmailGame, TheTurnWindowKeepsOneOfResignAndOfferDrawAndSwitchesPages)
{
    CEmailGame* game = MakeGame();
    CSendEmailDialog* window = Window(game);
    window->SetResign(true);
    window->SetOfferDraw(true);
    EXPECT_TRUE(Ticked(window, ID_SENDEMAIL_OFFER_DRAW));
    EXPECT_FALSE(Ticked(window, ID_SENDEMAIL_RESIGN));
    window->SetResign(false);
    EXPECT_FALSE(Ticked(window, ID_SENDEMAIL_OFFER_DRAW)) << "SetResign clears the offer too";
    GuiTest::Toggle(window, ID_SENDEMAIL_RESIGN, true);
    GuiTest::Toggle(window, ID_SENDEMAIL_OFFER_DRAW, true);
    EXPECT_FALSE(Ticked(window, ID_SENDEMAIL_RESIGN));
    GuiTest::Toggle(window, ID_SENDEMAIL_OFFER_DRAW, false);
    EXPECT_FALSE(Ticked(window, ID_SENDEMAIL_RESIGN)) << "unticking changes nothing else";

    window->SetOpponentMessage("one two\nthree");
    window->SetAddressing(3, "bob@example.org", "[Rookwell] Move 3");
    EXPECT_EQ(Text(window, ID_SENDEMAIL_TEXT), "one two\nthree");
    EXPECT_EQ(std::string(GuiTest::Find<wxStaticText>(window, ID_SENDEMAIL_MOVE_NO)->GetLabel().utf8_str()),
              "(Move #3)");
    EXPECT_FALSE(window->FindWindow(ID_SENDEMAIL_QUOTE)->IsEnabled());
    GuiTest::Click(window, ID_SENDEMAIL_QUOTE);
    EXPECT_EQ(Text(window, ID_SENDEMAIL_TEXT), "one two\nthree") << "no quoting onto the message page";

    window->ShowReply(true);
    EXPECT_TRUE(window->FindWindow(ID_SENDEMAIL_QUOTE)->IsEnabled());
    EXPECT_EQ(Text(window, ID_SENDEMAIL_TEXT), "");
    GuiTest::Click(window, ID_SENDEMAIL_QUOTE);
    EXPECT_EQ(Text(window, ID_SENDEMAIL_TEXT), "> one two \n> three \n");
    window->ShowReply(false);
    EXPECT_EQ(Text(window, ID_SENDEMAIL_TEXT), "one two\nthree");
    window->ShowReply(true);
    EXPECT_EQ(Text(window, ID_SENDEMAIL_TEXT), "> one two \n> three \n") << "the reply is kept";
}

TEST_F(EmailGame, SavingTheTurnWritesAWholeTurnAndAsksBeforeASecondSave)
{
    CEmailGame* game = MakeGame();
    game->Start();
    game->StartGame(WHITE, "Bob", "bob@example.org");
    CSendEmailDialog* window = Window(game);
    Play(game, "e4");
    EXPECT_EQ(window->GetMove(), "e4");
    EXPECT_EQ(window->MakeFileName(), "move 1 (white).rwf");
    GuiTest::Toggle(window, ID_SENDEMAIL_OFFER_DRAW, true);
    GuiTest::Find<wxTextCtrl>(window, ID_SENDEMAIL_TEXT)->ChangeValue("Hello Bob");

    const std::string path = m_services->m_userFolder + "/saved turn.rwf";
    m_prompt.QueueText(path.c_str());
    AnswerSendOrSave(ID_SENDORSAVE_SAVE);
    GuiTest::Click(window, ID_SENDEMAIL_SEND);
    ASSERT_TRUE(FileExists(path));
    EXPECT_TRUE(window->IsSent());
    EXPECT_EQ(std::string(window->GetTitle().utf8_str()), "Rookwell - Send Email (Saved)");
    ASSERT_EQ(m_prompt.GetCount(), 1);
    EXPECT_EQ(m_prompt.GetQuestion(0).file, "move 1 (white).rwf");

    // What a receiver reads from it.
    Zorlin::CWin32File file(CString(path.c_str()), Zorlin::CFile::kModeRead);
    Zorlin::CArchiveDrive archive;
    ASSERT_TRUE(archive.Open(&file, nullptr, false));
    ASSERT_TRUE(archive.ChangeDirectory(Zorlin::CURL("contents")));
    EmailTurn::STurn turn;
    CString why;
    ASSERT_TRUE(EmailTurn::Read(archive, turn, why)) << why.GetText();
    EXPECT_EQ(turn.move, "e4");
    EXPECT_TRUE(turn.offerDraw);
    EXPECT_FALSE(turn.resign);
    EXPECT_EQ(turn.message, "Hello Bob");
    EXPECT_EQ(turn.id, "ann01");
    EXPECT_EQ(turn.plies, 1);

    // Saved once: a second send asks first, and No stops it.
    m_prompt.Clear();
    m_prompt.QueueButton(wxNO);
    GuiTest::Click(window, ID_SENDEMAIL_SEND);
    ASSERT_EQ(m_prompt.GetCount(), 1);
    EXPECT_EQ(m_prompt.GetQuestion(0).text, "Mail already sent.\n\nSend again?");
    EXPECT_EQ(m_prompt.GetUnexpectedCount(), 0);
}

TEST_F(EmailGame, AGameThatGoesWhileItsTurnIsMailedFreesItsWindowOnceTheSendReturned)
{
    // The copy of the turn for the mail program stays after the send.
    RookwellTest::CScopedTempDir temp("email-send");
    const std::string mailer = m_services->m_userFolder + "/mailer";
    RookwellTest::WriteWholeFile(mailer, "#!/bin/sh\nexit 0\n");
    chmod(mailer.c_str(), 0755);
    m_services->m_programSettings.GetValue(".mail.command") = mailer.c_str();
    CEmailGame* game = MakeGame();
    game->Start();
    game->StartGame(WHITE, "Bob", "bob@example.org");
    CSendEmailDialog* window = Window(game);
    Play(game, "e4");

    // The game goes from inside the yield that keeps the windows drawn while
    // the mail program is started.
    bool gone = false;
    auto endGame = [&](wxIdleEvent& event) {
        event.Skip();
        if (gone || !window->IsSending())
            return;
        gone = true;
        m_games.erase(std::find(m_games.begin(), m_games.end(), game));
        delete game;
    };
    wxTheApp->Bind(wxEVT_IDLE, endGame);
    bool sending = false, freedDuringTheSend = false;
    window->Bind(wxEVT_DESTROY, [&](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == window)
            freedDuringTheSend = sending;
        event.Skip();
    });
    wxWeakRef<wxWindow> alive(window);
    AnswerSendOrSave(ID_SENDORSAVE_EMAIL);
    {
        // As in the program, a loop runs: the send dispatches its events
        // while it waits for the mail program to end.
        wxGUIEventLoop loop;
        wxEventLoopActivator active(&loop);
        sending = true;
        GuiTest::Click(window, ID_SENDEMAIL_SEND);
        sending = false;
    }
    wxTheApp->Unbind(wxEVT_IDLE, endGame);
    ASSERT_TRUE(gone) << "the send yielded";
    EXPECT_FALSE(freedDuringTheSend);
    GuiTest::Pump();
    EXPECT_FALSE(alive) << "the window goes with its game";
    EXPECT_EQ(m_prompt.GetCount(), 0) << "a window whose game went tells nothing";
}

TEST_F(EmailGame, AReceivedTurnIsOpenedOnTheSideItsIdsGive)
{
    EmailTurn::STurn turn = AnnsTurn({"e4"});
    Me("bob02", "Bob", "bob@example.org");
    CEmailGame* game = MakeGame();
    CString moveText, why;
    ASSERT_TRUE(game->OpenTurn(turn, moveText, why));
    EXPECT_EQ(moveText, "e4") << "the newest move is left for the frame to play";
    EXPECT_EQ(game->GetLocalColour(), BLACK);
    EXPECT_EQ(game->GetBoard().GetPly(), 0);
    EXPECT_TRUE(game->IsInPlay());
    CSendEmailDialog* window = Window(game);
    EXPECT_EQ(Text(window, ID_SENDEMAIL_SUBJECT), "[Rookwell] Move 1");
    EXPECT_EQ(Text(window, ID_SENDEMAIL_TO), "ann@example.org");
    EXPECT_EQ(Text(window, ID_SENDEMAIL_TEXT), "Your move, Bob.");
    EXPECT_TRUE(Ticked(window, ID_SENDEMAIL_SEND_PROFILE));
    EXPECT_EQ(m_prompt.GetCount(), 0) << "nothing to ask";

    // Nothing of Bob's to take back yet.
    game->GetBoard().SetupStartPosition();
    CMove e4;
    ASSERT_TRUE(game->GetBoard().ParseSan("e4", e4, true));
    game->GetBoard().MakeMove(e4, 0.0);
    EXPECT_FALSE(game->GetEmailPlayer()->RequestTakeBack(0));
    ASSERT_EQ(m_prompt.GetCount(), 1);
    EXPECT_EQ(m_prompt.GetQuestion(0).text, kOpponentsMove);
    EXPECT_EQ(m_prompt.GetQuestion(0).caption, "Take back");
    EXPECT_EQ(game->GetBoard().GetPly(), 1);

    // His own move goes back, and only it.
    Play(game, "e5");
    EXPECT_TRUE(game->GetEmailPlayer()->RequestTakeBack(0));
    EXPECT_EQ(game->GetBoard().GetPly(), 1);
    EXPECT_EQ(window->GetMove(), "");
    EXPECT_TRUE(game->IsInPlay());
}

TEST_F(EmailGame, TheCopyIsWrittenWhenATurnArrivesAndWhenTheUserMoves)
{
    EmailTurn::STurn turn = AnnsTurn({"e4"});
    EmailTurn::STurn resigned = AnnsTurn({"d4"});
    resigned.resign = true;
    const CString gameId = EmailRecord::GameId(turn.game);
    ASSERT_FALSE(gameId.IsEmpty());
    Me("bob02", "Bob", "bob@example.org");
    CEmailGame* game = MakeGame();
    CString moveText, why;
    ASSERT_TRUE(game->OpenTurn(turn, moveText, why)) << why.GetText();
    // Kept with Ann's newest move, before the frame plays it.
    Zorlin::CDrive& user = m_services->GetUserDrive();
    CConfig copy;
    ASSERT_TRUE(EmailRecord::Find(user, gameId, copy));
    EXPECT_EQ(EmailTurn::SavedMove(copy, 0), "e4");
    EXPECT_EQ(EmailRecord::ReceivedPlies(copy), 1);
    EXPECT_EQ(EmailRecord::SentPlies(copy), 0);
    EXPECT_EQ(EmailRecord::LocalColour(copy, ""), BLACK);
    EXPECT_EQ(EmailRecord::Caption(user, CString("email ") + gameId + ".rwg", "bob02"), "Ann, move 1");

    // Bob's move, not sent yet, is kept too: the canvas tells it to the
    // e-mail player before the board makes it.
    CMove e4;
    ASSERT_TRUE(game->GetBoard().ParseSan("e4", e4, true));
    game->GetBoard().MakeMove(e4, 0.0);
    CMove e5;
    ASSERT_TRUE(game->GetBoard().ParseSan("e5", e5, true));
    e5.m_text = "e5";
    game->GetEmailPlayer()->OpponentMoved(e5);
    ASSERT_TRUE(game->GetBoard().MakeMove(e5, 0.0));
    ASSERT_TRUE(EmailRecord::Find(user, gameId, copy));
    EXPECT_EQ(EmailTurn::SavedMove(copy, 1), "e5");
    EXPECT_EQ(EmailRecord::SentPlies(copy), 0);
    // A turn claiming 1...c5 for him is refused against it.
    EmailTurn::STurn forged = turn;
    forged.game = copy;
    forged.game.GetValue(".White.ID") = "ann01";
    forged.game.PushAbsolutePrefix("Moves");
    forged.game.PushPrefix(1);
    forged.game.GetValue("Move") = "c5";
    forged.game.PopPrefix();
    forged.game.PushPrefix(2);
    forged.game.GetValue("Move") = "Nf3";
    forged.game.PopPrefix();
    forged.game.PopPrefix();
    forged.move = "Nf3";
    ASSERT_TRUE(EmailTurn::Check(forged, why)) << why.GetText();
    CEmailGame* other = MakeGame();
    EXPECT_FALSE(other->Judge(forged, why));
    EXPECT_NE(std::string(why.GetText()).find("neither received nor sent"), std::string::npos) << why.GetText();

    // The game's own end forgets its copy and no other.
    CConfig another = copy;
    another.GetValue(".game.gameid") = "0THER1";
    ASSERT_TRUE(EmailRecord::Keep(user, "0THER1", another));
    CEmailGame* ended = MakeGame();
    ASSERT_TRUE(ended->OpenTurn(resigned, moveText, why)) << why.GetText();
    EXPECT_FALSE(EmailRecord::Find(user, EmailRecord::GameId(resigned.game), copy));
    EXPECT_TRUE(EmailRecord::Find(user, gameId, copy));
    EXPECT_TRUE(EmailRecord::Find(user, "0THER1", copy));
}

TEST_F(EmailGame, BothIdsEqualAskTheColourAndACancelOpensNothing)
{
    EmailTurn::STurn turn = AnnsTurn({"e4"});
    turn.game.GetValue(".Black.ID") = "ann01";
    Me("cid03", "Cid", "cid@example.org");
    CEmailGame* game = MakeGame();
    CString moveText, why;
    EXPECT_FALSE(game->OpenTurn(turn, moveText, why));
    EXPECT_TRUE(why.IsEmpty()) << "a cancel is no refusal";
    ASSERT_EQ(m_prompt.GetCount(), 1);
    EXPECT_EQ(m_prompt.GetQuestion(0).text, "What colour do you wish to play?");
    EXPECT_EQ(m_prompt.GetQuestion(0).caption, "Select colour");

    m_prompt.Clear();
    m_prompt.QueueChoice(1);
    CEmailGame* again = MakeGame();
    ASSERT_TRUE(again->OpenTurn(turn, moveText, why));
    EXPECT_EQ(again->GetLocalColour(), BLACK);
}

TEST_F(EmailGame, AResignationEndsTheGameForTheReceiver)
{
    EmailTurn::STurn turn = AnnsTurn({"e4"});
    turn.resign = true;
    turn.offerDraw = true; // only the resignation counts
    Me("bob02", "Bob", "bob@example.org");
    CEmailGame* game = MakeGame();
    CString moveText, why;
    ASSERT_TRUE(game->OpenTurn(turn, moveText, why));
    EXPECT_EQ(moveText, "");
    EXPECT_FALSE(game->IsInPlay());
    EXPECT_EQ(game->GetResult(), RESULT_BLACK_WINS);
    ASSERT_EQ(m_prompt.GetCount(), 1);
    EXPECT_EQ(m_prompt.GetQuestion(0).text, "Opponent resigns");
    EXPECT_EQ(m_prompt.GetQuestion(0).caption, "Game Over");
    // The opponent's resignation cannot be taken back.
    EXPECT_FALSE(game->GetEmailPlayer()->RequestTakeBack(0));
    EXPECT_EQ(m_prompt.GetQuestion(1).text, kOpponentsMove);
    EXPECT_FALSE(game->IsInPlay());
}

TEST_F(EmailGame, AnAgreedDrawCanBeTakenBackAndTheGameGoesOn)
{
    EmailTurn::STurn turn = AnnsTurn({"e4"});
    turn.offerDraw = true;
    Me("bob02", "Bob", "bob@example.org");
    CEmailGame* game = MakeGame();
    m_prompt.QueueButton(wxYES);
    CString moveText, why;
    ASSERT_TRUE(game->OpenTurn(turn, moveText, why));
    EXPECT_EQ(m_prompt.GetQuestion(0).text, "Opponent offers a draw.\n\nAccept?");
    EXPECT_FALSE(game->IsInPlay());
    EXPECT_EQ(game->GetResult(), RESULT_DRAW);
    EXPECT_EQ(game->GetBoard().GetPly(), 1) << "the offer's move stands in the agreed game";
    EXPECT_EQ(moveText, "");
    CSendEmailDialog* window = Window(game);
    EXPECT_EQ(window->GetMove(), "Accept draw");

    EXPECT_TRUE(game->GetEmailPlayer()->RequestTakeBack(0));
    EXPECT_EQ(m_prompt.GetCount(), 1) << "nothing refused";
    EXPECT_TRUE(game->IsInPlay());
    EXPECT_EQ(game->GetResult(), RESULT_NONE);
    EXPECT_EQ(game->GetBoard().GetPly(), 1) << "no move goes with the acceptance";
    EXPECT_EQ(window->GetMove(), "");
    // Bob answers with a move instead.
    Play(game, "e5");
    EXPECT_EQ(window->GetMove(), "e5");
}

TEST_F(EmailGame, ResignAndOfferDrawGoIntoTheNextTurnAndAreRefusedInASavedGame)
{
    CEmailGame* game = MakeGame();
    game->Start();
    game->StartGame(WHITE, "Bob", "bob@example.org");
    EXPECT_FALSE(game->IsOnlyViewed());
    game->OfferDraw(WHITE);
    EXPECT_TRUE(Ticked(Window(game), ID_SENDEMAIL_OFFER_DRAW));
    game->Resign(WHITE);
    EXPECT_TRUE(Ticked(Window(game), ID_SENDEMAIL_RESIGN));
    EXPECT_FALSE(Ticked(Window(game), ID_SENDEMAIL_OFFER_DRAW));
    EXPECT_TRUE(game->IsInPlay()) << "the resignation leaves with the turn";
    EXPECT_EQ(game->GetResult(), RESULT_NONE);
    EXPECT_EQ(m_prompt.GetCount(), 0);

    // The same game as a saved game file holds it, opened by Bob.
    Play(game, "e4");
    CConfig saved;
    game->Save(saved);
    Me("bob02", "Bob", "bob@example.org");
    saved.GetValue(".Black.ID") = "bob02";
    CEmailGame* viewed = MakeGame();
    viewed->GetBoard().SetupStartPosition();
    viewed->LoadMoves(saved, true);
    viewed->AssignSides(saved);
    EXPECT_TRUE(viewed->IsOnlyViewed());
    EXPECT_FALSE(viewed->IsInPlay());
    EXPECT_EQ(viewed->GetLocalColour(), BLACK);
    EXPECT_EQ(viewed->GetEmailPlayer()->GetProperty("ID"), "ann01");
    EXPECT_EQ(viewed->GetBoard().GetPly(), 1);
    viewed->Resign(BLACK);
    viewed->OfferDraw(BLACK);
    ASSERT_EQ(m_prompt.GetCount(), 2);
    EXPECT_EQ(m_prompt.GetQuestion(0).text, kViewingResign);
    EXPECT_EQ(m_prompt.GetQuestion(0).caption, "Offer Draw");
    EXPECT_EQ(m_prompt.GetQuestion(1).text, kViewingDraw);
    EXPECT_EQ(m_prompt.GetQuestion(1).caption, "Offer Draw");
    EXPECT_FALSE(Ticked(Window(viewed), ID_SENDEMAIL_RESIGN));

    // A saved game whose ids are both unknown is shown from White's side.
    saved.GetValue(".Black.ID") = "0";
    saved.GetValue(".White.ID") = "0";
    CEmailGame* unknown = MakeGame();
    unknown->AssignSides(saved);
    EXPECT_EQ(unknown->GetLocalColour(), WHITE);
}

} // namespace
