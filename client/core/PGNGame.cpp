#include "client/core/PGNGame.h"

#include <cstring>

#include <wx/defs.h>

#include "client/core/ChessView.h"
#include "client/core/FrameView.h"
#include "client/core/PgnExport.h"
#include "client/core/Prompt.h"
#include "client/dialogs/PgnViewerDialog.h"
#include "client/view/ViewHost.h"
#include "foundation/AssocArray.h"
#include "foundation/BufferFile.h"

using Zorlin::CBufferFile;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

// Whether the text's last word is a game's end marker.
bool EndsWithResult(const CString& text)
{
    int end = text.GetLength();
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r' ||
                       text[end - 1] == '\n' || text[end - 1] == 0))
        --end;
    for (const char* marker : {"*", "1-0", "0-1", "1/2-1/2"}) {
        const int length = int(strlen(marker));
        if (end >= length && text.Mid(end - length, end - 1) == marker &&
            (end == length || text[end - length - 1] == ' ' || text[end - length - 1] == '\n' ||
             text[end - length - 1] == '\r' || text[end - length - 1] == '\t' || text[end - length - 1] == '.' ||
             text[end - length - 1] == ']' || text[end - length - 1] == '}' || text[end - length - 1] == ')'))
            return true;
    }
    return false;
}

} // namespace

CPGNGame::CPGNGame()
{
    m_settings.GetValue("type") = "PGNGame";
    m_inPlay = false;
}

CPGNGame::~CPGNGame()
{
    CloseViewer();
}

void CPGNGame::CloseViewer()
{
    if (CPgnViewerDialog* viewer = m_viewer.get()) {
        // The window may be in the middle of its own close handler (its Yes
        // ends this game), so it is destroyed the toolkit's way, later, and
        // told first that its game is gone.
        viewer->SetGame(nullptr);
        viewer->Destroy();
    }
    m_viewer = nullptr;
}

void CPGNGame::End()
{
    CloseViewer();
}

void CPGNGame::Reset()
{
    CFrameView* frame = GetFrame();
    GetPrompt().ShowMessage("Can't reset PGN viewer.\n\nFor a new game please use the Game menu.", "Reset game",
                            wxOK, frame ? frame->GetWindow() : nullptr);
}

void CPGNGame::GetStatusPage(CString& out)
{
    out = "pgnview.htm";
}

bool CPGNGame::OpenPgn(CFile& pgn)
{
    if (!pgn.IsOpen())
        return false;
    const int64_t left = int64_t(pgn.GetSize()) - int64_t(pgn.GetPosition());
    if (left < 0 || left > int64_t(kMaxCopiedPgn))
        return false;
    // The viewer reads a game's text again each time one is chosen, long
    // after the caller's file or clipboard buffer is gone: it keeps a copy.
    CBufferFile* copy = new CBufferFile(pgn);
    if (int64_t(copy->GetSize()) != left) {
        delete copy;
        return false;
    }
    return OpenPgnOwned(copy);
}

bool CPGNGame::OpenPgnOwned(CFile* pgn)
{
    CloseViewer();
    if (!pgn || !pgn->IsOpen()) {
        delete pgn;
        return false;
    }
    CPgnViewerDialog* viewer = new CPgnViewerDialog(nullptr, pgn);
    viewer->SetGame(this);
    m_viewer = viewer;
    m_inPlay = false;
    return true;
}

int CPGNGame::GetGameCount() const
{
    CPgnViewerDialog* viewer = m_viewer.get();
    return viewer ? viewer->GetIndex().GetCount() : 0;
}

bool CPGNGame::LoadGame(int n, CString& message, bool keepCutShort)
{
    message = "";
    CPgnViewerDialog* viewer = m_viewer.get();
    CString text;
    if (!viewer || !viewer->ReadGame(n, text))
        return false;
    if (!ShowPgnText(*this, text, n + 1, keepCutShort, message))
        return false;
    // A game without moves must at least be complete: text cut short in
    // its tags reads as an empty game otherwise.
    return !(message.IsEmpty() && m_board.GetPly() == 0 && n + 1 == GetGameCount() && !EndsWithResult(text));
}

bool CPGNGame::ShowPgnText(CGame& game, const CString& text, int number, bool keepCutShort, CString& message)
{
    message = "";
    // Read aside first: a game that cannot be shown changes nothing.
    CChessBoard board(game.GetBoard());
    Zorlin::CAssocArray<CString> tags;
    CString bytes(text);
    CBufferFile file(bytes);
    CString error;
    if (!board.LoadPgnGame(file, tags, error)) {
        message = PgnGameProblemText(number, tags, error, board.GetPly());
        if (!keepCutShort || board.GetPly() == 0)
            return false;
    }
    game.GetBoard() = board;
    game.GetTags() = tags;
    // The file's result, so that writing the game again keeps it.
    const CString* result = tags.Find("Result");
    game.SetResult(result ? ResultFromText(*result) : RESULT_NONE);
    game.SetInPlay(false);
    return true;
}

void CPGNGame::ShowOnBoard(CGame& game)
{
    game.SetInPlay(false);
    if (CFrameView* frame = GetFrame())
        frame->RefreshFromGame();
    if (CChessView* view = GetChessView()) {
        view->SyncScene();
        view->UpdateStatus();
    }
    GetViewHost().ExecuteCommand("VIEW_BOARD");
}
