#pragma once

// The column beside the board: the clock strip across the top, and below
// it a splitter holding the game page (players, captured pieces, material
// and PGN tags) and, when shown, the move list. Selecting a row of the move
// list shows that position of the game on the board without changing the
// game.

#include <wx/defs.h>
#include <wx/sashwin.h>
#include <wx/laywin.h>

#include "foundation/String.h"

class CChessBoard;
class CClockWindow;
class CGame;
class CMoveList;
class CPanelSplitter;
class CPlayer;
class CWebPanel;
class wxListEvent;

class CGamePanel : public wxSashLayoutWindow {
public:
    static constexpr int kMoveListId = 10000;
    static constexpr int kClockHeight = 46;
    static constexpr int kWidth = 160;
    static constexpr int kMinimumPaneSize = 100;

    explicit CGamePanel(wxWindow* parent, wxWindowID id = wxID_ANY);
    ~CGamePanel() override;

    // The status page in use, read from the language folder; an unreadable
    // file leaves the template empty (and gives false).
    bool LoadTemplate(const char* name);
    // Fills the template for the game and shows it. Any argument may be
    // null: its fields stay empty.
    void UpdatePage(CGame* game, CChessBoard* board, CPlayer* white, CPlayer* black);

    void ShowMoveList(bool show);
    bool IsMoveListShown() const { return m_showMoveList; }
    void ShowClock(bool show);
    bool IsClockShown() const;
    void DoLayout();

    // The move list back to its empty row; no row selected.
    void ResetMoveList();
    // The move list from a board's history.
    void FillMoveList(const CChessBoard& board);
    void AddMove(const Zorlin::CString& san);

    // What selecting row r does: shows ply r of the current game on the
    // board, animating the move when stepping forward by one. Rows outside
    // the game's history are ignored.
    void SelectPly(int row);
    int GetSelectedPly() const { return m_selectedPly; }

    CClockWindow* GetClockWindow() const { return m_clock; }
    CMoveList* GetMoveList() const { return m_moveList; }
    CWebPanel* GetGamePage() const { return m_page; }
    CPanelSplitter* GetSplitter() const { return m_splitter; }
    const Zorlin::CString& GetPageTemplate() const { return m_template; }

private:
    void OnEraseBackground(wxEraseEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnMoveSelected(wxListEvent& event);
    bool ReadTemplate(const char* name, Zorlin::CString& out);

    bool m_showMoveList;
    int m_selectedPly;
    CClockWindow* m_clock;
    CWebPanel* m_page;
    CMoveList* m_moveList;
    CPanelSplitter* m_splitter;
    Zorlin::CString m_template;
    Zorlin::CString m_notInPlayTemplate;

    wxDECLARE_NO_COPY_CLASS(CGamePanel);
    wxDECLARE_EVENT_TABLE();
};
