#include "client/core/Game.h"

#include <wx/defs.h>

#include "client/core/AppServices.h"
#include "client/core/ChessView.h"
#include "client/core/ClockView.h"
#include "client/core/FrameView.h"
#include "client/core/LocalPlayer.h"
#include "client/core/Prompt.h"
#include "foundation/AtomicFile.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

using Zorlin::CAutoPointer;
using Zorlin::CFile;
using Zorlin::CString;

const char* ResultText(int result)
{
    switch (result) {
    case RESULT_NONE: return "*";
    case RESULT_WHITE_WINS: return "1-0";
    case RESULT_BLACK_WINS: return "0-1";
    case RESULT_DRAW: return "1/2-1/2";
    default: return "";
    }
}

int ResultFromText(const CString& text)
{
    for (int code = RESULT_WHITE_WINS; code <= RESULT_DRAW; ++code)
        if (text == ResultText(code))
            return code;
    return RESULT_NONE;
}

CGame::CGame()
    : m_timeControl(TIME_NONE), m_movesPerPeriod(0), m_seconds(0.0), m_savedPly(-1), m_inPlay(false),
      m_players{ nullptr, nullptr }, m_displayClocks{ 0.0, 0.0 }, m_result(RESULT_NONE)
{
    static const char* const kTags[] = { "Event", "Site", "Date", "Round", "White", "Black", "Result", "TimeControl" };
    for (const char* tag : kTags)
        m_tags[tag] = "";
    m_settings.GetValue("type") = "Dummy";
}

CGame::~CGame()
{
    DestroyPlayers();
}

void CGame::DestroyPlayers()
{
    for (CPlayer*& player : m_players) {
        CPlayer* doomed = player;
        player = nullptr; // cleared first: Destroy may call back into the game
        if (doomed)
            doomed->Destroy();
    }
}

void CGame::SetPlayers(CPlayer* first, CPlayer* second)
{
    m_players[0] = first;
    m_players[1] = second;
    for (CPlayer* player : m_players)
        if (player)
            player->SetGame(this);
}

CFrameView* CGame::GetFrame()
{
    return GetAppServices().GetFrameView();
}

CChessView* CGame::GetChessView()
{
    CFrameView* frame = GetFrame();
    return frame ? frame->GetChessView() : nullptr;
}

CClockView* CGame::GetClockView()
{
    CFrameView* frame = GetFrame();
    return frame ? frame->GetClockView() : nullptr;
}

// ------------------------------------------------------------ life cycle

void CGame::Destroy()
{
    delete this;
}

bool CGame::Setup()
{
    DestroyPlayers();
    m_board.SetupStartPosition();
    CPlayer* white = new CLocalPlayer();
    CPlayer* black = new CLocalPlayer();
    white->SetColour(WHITE);
    black->SetColour(BLACK);
    SetPlayers(white, black);
    return true;
}

void CGame::Start()
{
    m_result = RESULT_NONE;
    if (m_players[0])
        m_players[0]->StartGame(&m_board, WHITE);
    if (m_players[1])
        m_players[1]->StartGame(&m_board, BLACK);
    m_inPlay = true;
}

void CGame::End()
{
    DestroyPlayers();
    m_inPlay = false;
}

void CGame::SendPosition()
{
    for (CPlayer* player : m_players)
        if (player)
            player->SetPosition(m_board);
}

void CGame::Reset()
{
    End();
    Setup();
    Start();
}

void CGame::OfferDraw(int) {}
void CGame::Resign(int) {}
void CGame::SendChat(const CString&, const CString&) {}
void CGame::OnPenStroke(bool, int, int) {}
void CGame::Poll() {}

double CGame::GetMillisecondsToFlag() const
{
    // The clock runs from the first move on, as UpdateClock charges it.
    if (!m_inPlay || m_result != RESULT_NONE || m_timeControl == TIME_NONE || !(m_seconds > 0.0) ||
        m_board.GetPly() == 0)
        return -1.0;
    int side = m_board.GetSideToMove() == BLACK ? 1 : 0;
    double left = m_displayClocks[side] - double(m_stopwatch.Time());
    return left > 0.0 ? left : 0.0;
}
void CGame::OnGameOver() {}
void CGame::OnClearAnnotation() {}
bool CGame::RequestRestore(const Zorlin::CConfig&) { return false; }

void CGame::GetStatusPage(CString& out)
{
    out = "notinplay.htm";
}

CPlayer* CGame::GetPlayer(int side)
{
    if (side == SIDE_TO_MOVE)
        side = m_board.GetSideToMove();
    if (m_players[0] && m_players[0]->GetColour() == side)
        return m_players[0];
    return m_players[1];
}

bool CGame::FindLocalPlayer(CPlayer*& out)
{
    for (int colour : { WHITE, BLACK }) {
        CPlayer* player = GetPlayer(colour);
        if (player && player->IsLocal()) {
            out = player;
            return true;
        }
    }
    return false;
}

bool CGame::FindRemotePlayer(CPlayer*& out)
{
    for (int colour : { WHITE, BLACK }) {
        CPlayer* player = GetPlayer(colour);
        if (player && !player->IsLocal()) {
            out = player;
            return true;
        }
    }
    return false;
}

// A game decided on the board is no longer in play: Game Over keeps it.
bool CGame::HasUnsavedPlay() const
{
    return m_inPlay && m_result == RESULT_NONE && m_board.GetPly() != m_savedPly;
}

bool CGame::QueryClose()
{
    if (!HasUnsavedPlay())
        return true;
    CFrameView* frame = GetFrame();
    int answer = GetPrompt().ShowMessage("Do you wish to save the current game?", "End Game",
                                         wxYES_NO | wxCANCEL | wxICON_QUESTION,
                                         frame ? frame->GetWindow() : nullptr);
    if (answer == wxYES)
        return frame && frame->SaveGame();
    return answer == wxNO;
}

bool CGame::ConfirmLeave()
{
    return QueryClose();
}

// ------------------------------------------------------------ clocks

void CGame::SetTimeControl(TimeControlType type, int moves, double seconds)
{
    m_timeControl = type;
    m_movesPerPeriod = moves;
    m_seconds = seconds;
    switch (type) {
    case TIME_CONVENTIONAL:
        m_settings.GetValue("timecontrol.moves") = "";
        m_settings.GetValue("timecontrol.moves").Append(moves);
        m_settings.GetValue("timecontrol.seconds") = "";
        m_settings.GetValue("timecontrol.seconds").Append(seconds);
        m_board.SetTimeControl(moves, seconds);
        m_settings.GetValue("timecontrol.type") = "conventional";
        break;
    case TIME_BLITZ:
        m_settings.GetValue("timecontrol.seconds") = "";
        m_settings.GetValue("timecontrol.seconds").Append(seconds);
        m_board.SetTimeLimit(seconds);
        m_settings.GetValue("timecontrol.type") = "blitz";
        break;
    case TIME_NONE:
        m_settings.GetValue("timecontrol.type") = "none";
        break;
    default:
        m_settings.GetValue("timecontrol.type") = "?";
        break;
    }
    if (CClockView* clock = GetClockView()) {
        clock->Stop();
        clock->SetTime(seconds * 1000.0, seconds * 1000.0, m_board.GetSideToMove());
        // A timed game shows its clock from the start.
        if (type != TIME_NONE && seconds > 0.0)
            clock->SetShown(true);
    }
}

double CGame::UpdateClock()
{
    if (m_timeControl == TIME_NONE)
        return 0.0;
    CClockView* clock = GetClockView();
    int side = m_board.GetSideToMove() == BLACK ? 1 : 0;
    if (m_board.GetPly() == 0) {
        m_displayClocks[0] = m_displayClocks[1] = m_seconds * 1000.0;
        m_stopwatch.Start();
        if (clock)
            clock->SetTime(m_displayClocks[0], m_displayClocks[1], m_board.GetSideToMove());
        return 0.0;
    }
    double elapsed = double(m_stopwatch.Time());
    m_stopwatch.Start();
    m_displayClocks[side] -= elapsed;
    // A new period begins after Black's last move of a period; a period of
    // no moves never refills.
    int perPeriod = m_board.GetMovesPerPeriod();
    if (m_board.GetClockMode() == CLOCK_MOVES_PER_PERIOD && side == 1 && perPeriod > 0 &&
        (m_board.GetPly() / 2 + 1) % perPeriod == 0)
        m_displayClocks[0] = m_displayClocks[1] = m_seconds * 1000.0;
    if (clock)
        clock->SetTime(m_displayClocks[0], m_displayClocks[1], m_board.GetSideToMove());
    return elapsed;
}

void CGame::RunClockForSideToMove()
{
    CClockView* clock = GetClockView();
    if (!clock || m_timeControl == TIME_NONE || !m_inPlay)
        return;
    // Time already used on this move stays used (the clock may restart
    // mid-move, after a question).
    double shown[2] = {m_displayClocks[0], m_displayClocks[1]};
    if (m_board.GetPly() > 0)
        shown[m_board.GetSideToMove() == BLACK ? 1 : 0] -= double(m_stopwatch.Time());
    clock->SetTime(shown[0], shown[1], m_board.GetSideToMove());
    clock->Start();
}

void CGame::ShowBoardClocks()
{
    m_displayClocks[0] = m_board.GetClock(WHITE) * 1000.0;
    m_displayClocks[1] = m_board.GetClock(BLACK) * 1000.0;
    if (CClockView* clock = GetClockView()) {
        clock->SetTime(m_displayClocks[0], m_displayClocks[1], m_board.GetSideToMove());
        clock->SetShown(true);
    }
}

void CGame::TakeBackTo(int n)
{
    if (n < 0)
        n = 0;
    if (n > m_board.GetPly())
        n = m_board.GetPly();
    for (CPlayer* player : m_players)
        if (player)
            player->TakeBackTo(n);
    m_board.GoBackToMove(n);
    CClockView* clock = GetClockView();
    if (clock)
        clock->Stop();
    m_displayClocks[0] = m_board.GetClock(WHITE) * 1000.0;
    m_displayClocks[1] = m_board.GetClock(BLACK) * 1000.0;
    if (clock) {
        clock->SetTime(m_displayClocks[0], m_displayClocks[1], m_board.GetSideToMove());
        if (m_board.GetPly() > 0)
            clock->Start();
        clock->LoadReminders(m_displayClocks[m_board.GetSideToMove() == BLACK ? 1 : 0]);
    }
    m_stopwatch.Start();
    m_inPlay = true;
    m_result = RESULT_NONE;
    m_endNote = "";
    if (CChessView* view = GetChessView()) {
        view->SyncScene();
        view->UpdateStatus();
    }
}

// ------------------------------------------------------------ pictures

const char* PlayerPictureName(bool white)
{
    return white ? "/white.bmp" : "/black.bmp";
}

bool WritePlayerPicture(Zorlin::CDrive& userDrive, bool white, CFile& source)
{
    Zorlin::CURL path(PlayerPictureName(white));
    userDrive.GetFullPath(path, "");
    return Zorlin::WriteFileAtomically(path, source);
}

void CGame::WritePlayerPictures()
{
    // Into the user folder: what other players send never lands in the
    // program folder.
    Zorlin::CDrive& drive = GetAppServices().GetUserDrive();
    for (int colour : { WHITE, BLACK }) {
        CPlayer* player = GetPlayer(colour);
        if (!player || player->GetColour() != colour)
            continue;
        CAutoPointer<CFile> photo;
        player->GetPhoto(photo);
        if (!photo || !photo->IsOpen())
            continue;
        photo->Seek(0, CFile::kSeekStart);
        WritePlayerPicture(drive, colour == WHITE, *photo);
    }
}
