#pragma once

#include <memory>

#include "client/core/Game.h"

class CComputerPlayer;
class CConsole;

// The game in which the user plays an engine: one local player and one
// computer player running the chosen engine package. The first player is the
// computer, the second the user.
class CAIGame : public CGame {
public:
    static const char* const kLaunchFailure; // "Unable to launch the chess engine."
    // A new game whose engine would not start (or went again at once).
    static const char* const kStartFailure; // "There was a problem starting the engine."

    // Loads and starts the package engines/<engine>/ of the program folder;
    // IsStarted says whether that worked (the game is usable only then).
    // Without launch the package is loaded and its program is started only
    // when play needs it.
    CAIGame(int localColour, const Zorlin::CString& engine, bool launch = true);
    ~CAIGame() override;

    bool Setup() override;
    void Start() override;
    void End() override;
    void Reset() override;
    void OfferDraw(int side) override;
    void Resign(int side) override;
    void GetStatusPage(Zorlin::CString& out) override;
    // A timed game ends when the side to move has no time left.
    void Poll() override;

    // Puts the game in play and prepares what the user sees.
    void StartGame();
    void NewGame();
    void EndGame();
    void ResetGame();
    void SetPondering(bool pondering);
    void SetDepth(int depth);

    // Rebuilds a saved game and makes it the board canvas's current game;
    // false (after telling the user) when its engine cannot be launched.
    static bool Restore(const Zorlin::CString& path, Zorlin::CConfig& saved);
    // Tells the user that the engine could not be launched.
    static void ReportLaunchFailure(const char* text = kLaunchFailure);

    bool IsStarted() const { return m_started; }
    int GetLocalColour() const { return m_localColour; }
    CComputerPlayer* GetComputerPlayer() const;
    CPlayer* GetLocalPlayer() const { return m_players[1]; }
    CConsole* GetConsole() { return m_console.get(); }

private:
    void Log(const char* text);
    // The time control of the settings, moves and seconds read as numbers.
    void ReadTimeControl(int& moves, double& seconds);
    // The side to move ran out of time: the other side wins.
    void EndOnTime();

    bool m_started;
    int m_localColour;
    std::unique_ptr<CConsole> m_console;
};
