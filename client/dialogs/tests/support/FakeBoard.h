#pragma once
// A main frame and board canvas for the dialog tests: it owns the current
// game as the canvas does, applies moves to the game's board through the
// rules and records what the dialogs asked of it. Installed as the frame of
// a CFakeApp.

#include <string>
#include <vector>

#include <wx/frame.h>

#include "chess/Move.h"
#include "client/core/ChessView.h"
#include "client/core/FrameView.h"
#include "client/core/Game.h"
#include "client/dialogs/MenuBar.h"
#include "client/dialogs/tests/support/FakeApp.h"

class CFakeBoard : public CFrameView, public CChessView {
public:
    explicit CFakeBoard(CFakeApp& app) : m_app(app), m_window(new wxFrame(nullptr, wxID_ANY, "board"))
    {
        m_window->Bind(wxEVT_MENU, [this](wxCommandEvent&) { calls.push_back("EndGame"); }, ID_MENU_END_GAME);
        m_app.frame = this;
    }
    ~CFakeBoard() override
    {
        m_app.frame = nullptr;
        if (m_game)
            m_game->Destroy();
        m_window->Destroy();
    }

    // CFrameView.
    bool SaveGame() override { return false; }
    void RefreshFromGame() override { calls.push_back("RefreshFromGame"); }
    void ShowPosition() override { calls.push_back("ShowPosition"); }
    wxWindow* GetWindow() override { return m_window; }
    CChessView* GetChessView() override { return this; }
    CClockView* GetClockView() override { return nullptr; }
    bool IsClosing() const override { return closing; }

    // CChessView.
    void PlayMove(const CMove& move, bool asOpponent) override
    {
        CMove made = move;
        calls.push_back(std::string("PlayMove:") + (asOpponent ? "1" : "0"));
        if (m_game)
            m_game->GetBoard().MakeMove(made, 0.0);
        played.push_back(made);
    }
    void GameOver(int, int) override { calls.push_back("GameOver"); }
    void ResetView(CGame* game, bool, bool) override
    {
        calls.push_back("ResetView");
        if (m_game && m_game != game)
            m_game->Destroy();
        m_game = game;
    }
    CGame* GetGame() override { return m_game; }
    void SyncScene() override { calls.push_back("SyncScene"); }
    void UpdateStatus() override { calls.push_back("UpdateStatus"); }

    bool Called(const std::string& action) const
    {
        for (const std::string& c : calls)
            if (c == action)
                return true;
        return false;
    }

    std::vector<std::string> calls;
    std::vector<CMove> played;
    // What IsClosing says.
    bool closing = false;

private:
    CFakeApp& m_app;
    wxFrame* m_window;
    CGame* m_game = nullptr;
};
