#pragma once

// What the board canvas tests put in front of the real canvas: players that
// write down every call in order, a game made of two of them, and the move
// texts of real PGN files.

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "chess/ChessBoard.h"
#include "client/core/Game.h"
#include "client/core/Player.h"

namespace CanvasTest {

struct SCallLog {
    std::vector<std::string> calls;
    void Add(const std::string& call) { calls.push_back(call); }
};

class CRecordingPlayer : public CPlayer {
public:
    CRecordingPlayer(int colour, bool local, SCallLog* log) : m_local(local), m_log(log) { m_colour = colour; }

    void StartGame(CChessBoard* board, int colour) override
    {
        m_board = board;
        m_colour = colour;
    }
    bool IsLocal() override { return m_local; }
    bool WakesOnOutput() override { return m_wakes; }
    bool IsReadingBehind() override { return m_pollsBehind > 0; }
    void Poll() override
    {
        ++m_polls;
        if (m_pollsBehind > 0)
            --m_pollsBehind;
        if (m_onPoll)
            m_onPoll();
    }
    bool HasMove() override { return m_ready; }
    bool GetMove(CMove& out) override
    {
        if (!m_ready)
            return false;
        out = m_move;
        m_ready = false;
        return true;
    }
    void SetMoveTime(double) override { Log("time"); }
    bool OpponentMoved(const CMove& move) override
    {
        Zorlin::CString text;
        move.ToCoordinateText(text);
        Log(std::string("moved ") + text.GetText());
        if (m_onOpponentMoved)
            m_onOpponentMoved();
        return true;
    }
    void GameOver() override { Log("over"); }

    // The ready move, handed over at the next tick.
    void Offer(const CMove& move)
    {
        m_move = move;
        m_ready = true;
    }

    int m_polls = 0;
    bool m_wakes = false; // as an engine whose output wakes the tick
    int m_pollsBehind = 0; // as an engine whose output needs that many more polls
    std::function<void()> m_onPoll;
    std::function<void()> m_onOpponentMoved;

private:
    // Each call with the ply of the board at that moment.
    void Log(const std::string& what)
    {
        if (m_log)
            m_log->Add(what + " @" + std::to_string(m_board ? m_board->GetPly() : -1));
    }

    bool m_local;
    SCallLog* m_log;
    CChessBoard* m_board = nullptr;
    CMove m_move;
    bool m_ready = false;
};

// A played game of two recording players; destroyed tells the test when
// the canvas has let it go.
class CRecordingGame : public CGame {
public:
    CRecordingGame(bool whiteLocal, bool blackLocal, SCallLog* log, bool* destroyed = nullptr)
        : m_whiteLocal(whiteLocal), m_blackLocal(blackLocal), m_log(log), m_destroyed(destroyed)
    {
        if (m_destroyed)
            *m_destroyed = false;
    }
    ~CRecordingGame() override
    {
        if (m_destroyed)
            *m_destroyed = true;
    }
    bool Setup() override
    {
        DestroyPlayers();
        m_board.SetupStartPosition();
        SetPlayers(new CRecordingPlayer(WHITE, m_whiteLocal, m_log), new CRecordingPlayer(BLACK, m_blackLocal, m_log));
        m_settings.GetValue("type") = "TestGame";
        return true;
    }
    CRecordingPlayer* Player(int colour) { return static_cast<CRecordingPlayer*>(GetPlayer(colour)); }

private:
    bool m_whiteLocal;
    bool m_blackLocal;
    SCallLog* m_log;
    bool* m_destroyed;
};

struct SPgnGame {
    std::string result;
    std::vector<std::string> sans; // as written, with "+" and "#"
};

// The games of a PGN file whose move text has no comments or variations.
inline std::vector<SPgnGame> ReadPgnGames(const std::string& path, size_t most)
{
    std::ifstream in(path);
    std::vector<SPgnGame> games;
    std::string line;
    SPgnGame game;
    bool inMoves = false;
    auto finish = [&] {
        if (!game.sans.empty())
            games.push_back(game);
        game = SPgnGame();
        inMoves = false;
    };
    while (std::getline(in, line) && games.size() < most) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("[", 0) == 0) {
            if (inMoves)
                finish();
            if (line.rfind("[Result \"", 0) == 0)
                game.result = line.substr(9, line.find('"', 9) - 9);
            continue;
        }
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            inMoves = true;
            if (word == "1-0" || word == "0-1" || word == "1/2-1/2" || word == "*") {
                finish();
                break;
            }
            size_t dot = word.rfind('.');
            if (dot != std::string::npos)
                word = word.substr(dot + 1);
            if (!word.empty())
                game.sans.push_back(word);
        }
    }
    if (games.size() < most)
        finish();
    return games;
}

} // namespace CanvasTest
