#pragma once

// Test stand-ins for what games, players and engines reach: the application
// services over temporary program and user folders, a recording console per
// window title, a fake frame, clock and board canvas (the canvas plays the
// road of a move as the real one does), the toolkit started without a
// display, and engine packages made on the fly.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "chess/Move.h"
#include "client/core/AppServices.h"
#include "client/core/ChessView.h"
#include "client/core/ClockView.h"
#include "client/core/FrameView.h"
#include "client/core/Prompt.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "testsupport/TempFiles.h"

class CGame;

namespace EngineTest {

// Starts the toolkit once per test program (no display needed) with an
// active event loop, so processes, end notices and timers work.
void StartToolkit();
// Runs the toolkit's pending events, waiting at most ms in all.
void PumpEvents(int ms);
// Pumps until done() holds or about timeoutMs passed; the answer of done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

using RookwellTest::MakeTempFolder;
using RookwellTest::ReadWholeFile;
using RookwellTest::RemoveTree;
using RookwellTest::WriteWholeFile;
// The repository's data folder and our fake engine.
std::string DataFolder();
std::string FakeEnginePath();

class CFakeClock : public CClockView {
public:
    void SetTime(double whiteMs, double blackMs, int sideToMove) override;
    void Start() override { ++m_starts; m_running = true; }
    void Stop() override { ++m_stops; m_running = false; }
    void LoadReminders(double remainingMs) override { m_reminders.push_back(remainingMs); }
    void SetShown(bool shown) override { m_shown = shown; }

    double m_whiteMs = -1.0;
    double m_blackMs = -1.0;
    int m_side = -1;
    int m_sets = 0;
    int m_starts = 0;
    int m_stops = 0;
    bool m_running = false;
    bool m_shown = false;
    std::vector<double> m_reminders;
};

// The board canvas: owns the current game and plays moves the way the real
// canvas does (clock, the other side's SetMoveTime and OpponentMoved, the
// move, the check mark, the end of the game).
class CFakeChessView : public CChessView {
public:
    ~CFakeChessView() override;

    void PlayMove(const CMove& move, bool asOpponent) override;
    void GameOver(int flag, int reserved) override;
    void ResetView(CGame* game, bool loaded, bool reserved) override;
    CGame* GetGame() override { return m_game; }
    void SyncScene() override { ++m_syncs; }
    void UpdateStatus() override { ++m_statusUpdates; }

    // One game tick, as the board canvas makes it: for a game in play, both
    // players' Poll, the move of the side to move when its player has one,
    // the game's Poll.
    void Tick();
    // Plays a move given as text for the side to move (as the user's mouse
    // would); false when it is not legal.
    bool PlayText(const char* text);
    // Destroys the current game.
    void DropGame();

    CGame* m_game = nullptr;
    std::vector<std::string> m_sans;     // the move list, with check marks
    std::vector<int> m_gameOverFlags;    // GameOver calls; 2 for an end by a move
    std::vector<double> m_moveTimes;     // what UpdateClock gave each move
    int m_syncs = 0;
    int m_statusUpdates = 0;
    int m_resets = 0;
    int m_refusedMoves = 0;              // moves the board would not make
};

class CFakeFrame : public CFrameView {
public:
    bool SaveGame() override;
    void RefreshFromGame() override { ++m_refreshes; }
    void ShowPosition() override { ++m_shows; }
    wxWindow* GetWindow() override { return nullptr; }
    CChessView* GetChessView() override { return &m_view; }
    CClockView* GetClockView() override { return &m_clock; }
    bool IsClosing() const override { return false; }

    CFakeChessView m_view;
    CFakeClock m_clock;
    bool m_saveAnswer = true;
    int m_saves = 0;
    int m_refreshes = 0;
    int m_shows = 0;
};

// Services over a temporary program folder (with the assets the games read)
// and a user folder; installs itself and a scripted prompt while it lives.
class CTestServices : public CAppServices {
public:
    CTestServices();
    ~CTestServices() override;

    Zorlin::CDrive& GetProgramDrive() override { return *m_programDrive; }
    Zorlin::CDrive& GetUserDrive() override { return *m_userDrive; }
    Zorlin::CConfig& GetProgramSettings() override { return m_programSettings; }
    Zorlin::CConfig& GetUserSettings() override { return m_userSettings; }
    CFrameView* GetFrameView() override { return m_withFrame ? &m_frame : nullptr; }
    CConsole* CreateConsole(const Zorlin::CString& title) override;
    void ShowHtmlMessage(const Zorlin::CString& title, const Zorlin::CString& html) override;

    // Copies a package of data/engines into the program folder.
    void InstallPackage(const std::string& name);
    // Makes a package running the fake engine with this script; returns the
    // path of the engine's log of what it read.
    std::string MakeFakePackage(const std::string& name, const std::string& script,
                                const std::string& extraSettings = "");
    // Everything written to consoles of that title (all of them, in order).
    std::string ConsoleText(const std::string& title) const;
    // The text of every console whose title starts with prefix.
    std::string ConsoleTextStarting(const std::string& prefix) const;
    int CountConsoles(const std::string& prefix) const;

    std::string m_programFolder;
    std::string m_userFolder;
    std::unique_ptr<Zorlin::CDiskDrive> m_programDrive;
    std::unique_ptr<Zorlin::CDiskDrive> m_userDrive;
    Zorlin::CConfig m_programSettings;
    Zorlin::CConfig m_userSettings;
    CFakeFrame m_frame;
    bool m_withFrame = true;
    CScriptedPrompt m_prompt;
    std::vector<std::pair<std::string, std::string>> m_htmlMessages;
    std::vector<std::pair<std::string, std::shared_ptr<std::string>>> m_consoles;

private:
    CAppServices* m_previous;
};

} // namespace EngineTest
