#include "client/core/tests/support/GameFixture.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include "client/core/Console.h"
#include "client/core/Game.h"
#include "client/core/Player.h"

namespace fs = std::filesystem;
using Zorlin::CString;

namespace EngineTest {

// ------------------------------------------------------------ toolkit

namespace {

wxEventLoopBase* g_loop = nullptr;

} // namespace

void StartToolkit()
{
    static wxInitializer* initializer = nullptr;
    if (initializer)
        return;
    initializer = new wxInitializer();
    if (!initializer->IsOk() || !wxAppConsole::GetInstance())
        return;
    g_loop = wxAppConsole::GetInstance()->GetTraits()->CreateEventLoop();
    static wxEventLoopActivator activator(g_loop);
}

void PumpEvents(int ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        if (g_loop) {
            g_loop->DispatchTimeout(2);
            while (g_loop->Pending())
                g_loop->Dispatch();
        }
        if (wxAppConsole* app = wxAppConsole::GetInstance())
            app->ProcessPendingEvents();
        usleep(1000);
    } while (std::chrono::steady_clock::now() < until);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return done();
        PumpEvents(2);
    }
    return true;
}

// ------------------------------------------------------------ files

std::string DataFolder()
{
    return std::string(ROOKWELL_SOURCE) + "/data";
}

std::string FakeEnginePath()
{
    return std::string(ROOKWELL_SOURCE) + "/client/core/tests/support/fake_engine.py";
}

// ------------------------------------------------------------ clock

void CFakeClock::SetTime(double whiteMs, double blackMs, int sideToMove)
{
    m_whiteMs = whiteMs < 0 ? 0 : whiteMs;
    m_blackMs = blackMs < 0 ? 0 : blackMs;
    m_side = sideToMove;
    ++m_sets;
}

// ------------------------------------------------------------ canvas

CFakeChessView::~CFakeChessView()
{
    DropGame();
}

void CFakeChessView::DropGame()
{
    CGame* game = m_game;
    m_game = nullptr;
    if (game)
        game->Destroy();
}

void CFakeChessView::ResetView(CGame* game, bool, bool)
{
    if (game != m_game)
        DropGame();
    m_game = game;
    ++m_resets;
    // The move list shows the new game's moves.
    m_sans.clear();
    if (game)
        for (int i = 0; i < game->GetBoard().GetHistory().GetCount(); ++i)
            m_sans.push_back(game->GetBoard().GetHistory().GetAt(i)->m_shortText);
}

void CFakeChessView::PlayMove(const CMove& move, bool)
{
    // As the real canvas: a game out of play takes no moves.
    if (!m_game || !m_game->IsInPlay())
        return;
    CGame* game = m_game;
    CChessBoard& board = game->GetBoard();
    double ms = game->UpdateClock();
    m_moveTimes.push_back(ms);
    Colour mover = board.GetSideToMove();
    CMove made = move;
    if (CPlayer* other = game->GetPlayer(OtherColour(mover))) {
        other->SetMoveTime(ms);
        other->OpponentMoved(made);
    }
    if (!board.GetPieceAt(made.m_from).MakeMove(made, ms)) {
        ++m_refusedMoves;
        return;
    }
    Colour next = board.GetSideToMove();
    GameState state = board.GetGameState(next);
    SHistoryEntry& entry = *board.GetHistory().GetAt(-1);
    std::string san = entry.m_shortText;
    const char* mark = state == STATE_CHECKMATE ? "#" : board.IsInCheck(next) ? "+" : "";
    san += mark;
    if (san.size() < sizeof entry.m_shortText)
        std::snprintf(entry.m_shortText, sizeof entry.m_shortText, "%s", san.c_str());
    m_sans.push_back(san);
    if (state == STATE_CHECKMATE || state == STATE_DRAW) {
        game->SetInPlay(false);
        game->SetResult(state == STATE_DRAW ? RESULT_DRAW : mover == WHITE ? RESULT_WHITE_WINS : RESULT_BLACK_WINS);
        m_gameOverFlags.push_back(2);
        game->OnGameOver();
        for (CPlayer* player : { game->GetFirstPlayer(), game->GetSecondPlayer() })
            if (player)
                player->GameOver();
    }
}

void CFakeChessView::GameOver(int flag, int)
{
    m_gameOverFlags.push_back(flag);
    if (!m_game)
        return;
    m_game->OnGameOver();
    for (CPlayer* player : { m_game->GetFirstPlayer(), m_game->GetSecondPlayer() })
        if (player)
            player->GameOver();
}

void CFakeChessView::Tick()
{
    // As the board canvas: only a game in play is polled.
    if (!m_game || !m_game->IsInPlay())
        return;
    for (CPlayer* player : { m_game->GetFirstPlayer(), m_game->GetSecondPlayer() })
        if (player)
            player->Poll();
    if (!m_game)
        return;
    if (m_game->IsInPlay()) {
        CPlayer* mover = m_game->GetPlayer(SIDE_TO_MOVE);
        CMove move;
        if (mover && mover->HasMove() && mover->GetMove(move))
            PlayMove(move, false);
    }
    if (m_game && m_game->IsInPlay())
        m_game->Poll();
}

bool CFakeChessView::PlayText(const char* text)
{
    if (!m_game)
        return false;
    CMove move;
    if (!m_game->GetBoard().ParseMove(text, move, true))
        return false;
    move.m_text = "";
    size_t before = m_sans.size();
    PlayMove(move, false);
    return m_sans.size() == before + 1;
}

// ------------------------------------------------------------ frame

bool CFakeFrame::SaveGame()
{
    ++m_saves;
    return m_saveAnswer;
}

// ------------------------------------------------------------ services

namespace {

class CRecordingConsole : public CConsole {
public:
    explicit CRecordingConsole(std::shared_ptr<std::string> text) : m_text(std::move(text)) {}
    void Write(const char* text) override { m_text->append(text); }

private:
    std::shared_ptr<std::string> m_text;
};

} // namespace

CTestServices::CTestServices()
{
    StartToolkit();
    m_programFolder = MakeTempFolder("program");
    m_userFolder = MakeTempFolder("user");
    fs::create_directories(m_programFolder + "/assets/images/misc");
    fs::create_directories(m_programFolder + "/html/english");
    fs::create_directories(m_programFolder + "/engines");
    std::error_code ignored;
    fs::copy_file(DataFolder() + "/assets/images/misc/nophoto.bmp",
                  m_programFolder + "/assets/images/misc/nophoto.bmp", ignored);
    m_programDrive.reset(new Zorlin::CDiskDrive(m_programFolder.c_str()));
    m_userDrive.reset(new Zorlin::CDiskDrive(m_userFolder.c_str()));
    m_userSettings.GetValue("profile.name") = "Tess Tester";
    m_userSettings.GetValue("profile.email") = "tess@example.org";
    m_userSettings.GetValue("profile.id") = "TESS1";
    m_userSettings.GetValue("preferences.language") = "english";
    m_programSettings.GetValue("site.home") = "https://www.pemberlode.example/rookwell/";
    m_previous = SetAppServices(this);
    m_prompt.Install();
}

CTestServices::~CTestServices()
{
    m_frame.m_view.DropGame();
    SetAppServices(m_previous);
    RemoveTree(m_programFolder);
    RemoveTree(m_userFolder);
}

CConsole* CTestServices::CreateConsole(const CString& title)
{
    auto text = std::make_shared<std::string>();
    m_consoles.emplace_back(title.GetText(), text);
    return new CRecordingConsole(text);
}

void CTestServices::ShowHtmlMessage(const CString& title, const CString& html)
{
    m_htmlMessages.emplace_back(title.GetText(), html.GetText());
}

void CTestServices::InstallPackage(const std::string& name)
{
    fs::copy(DataFolder() + "/engines/" + name, m_programFolder + "/engines/" + name,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::string CTestServices::MakeFakePackage(const std::string& name, const std::string& script,
                                           const std::string& extraSettings)
{
    std::string folder = m_programFolder + "/engines/" + name;
    fs::create_directories(folder);
    std::string scriptPath = folder + "/script.txt";
    std::string logPath = folder + "/engine.log";
    WriteWholeFile(scriptPath, script);
    WriteWholeFile(logPath, "");
    Zorlin::CConfig info;
    info.GetValue("exe") = "/usr/bin/python3";
    std::string command = "\"" + FakeEnginePath() + "\" \"" + scriptPath + "\" \"" + logPath + "\"";
    info.GetValue("command") = command.c_str();
    info.GetValue("link") = "https://engine.example/";
    std::string text = info.ToText(true).GetText();
    WriteWholeFile(folder + "/info.cfg", text + extraSettings);
    return logPath;
}

std::string CTestServices::ConsoleText(const std::string& title) const
{
    std::string all;
    for (const auto& console : m_consoles)
        if (console.first == title)
            all += *console.second;
    return all;
}

std::string CTestServices::ConsoleTextStarting(const std::string& prefix) const
{
    std::string all;
    for (const auto& console : m_consoles)
        if (console.first.compare(0, prefix.size(), prefix) == 0)
            all += *console.second;
    return all;
}

int CTestServices::CountConsoles(const std::string& prefix) const
{
    int n = 0;
    for (const auto& console : m_consoles)
        if (console.first.compare(0, prefix.size(), prefix) == 0)
            ++n;
    return n;
}

} // namespace EngineTest
