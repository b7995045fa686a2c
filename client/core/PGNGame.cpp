#include "client/core/PGNGame.h"

#include <cstring>

#include <wx/defs.h>

#include "client/core/FrameView.h"
#include "client/core/Prompt.h"
#include "client/dialogs/PgnViewerDialog.h"
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

bool CPGNGame::LoadGame(int n, CString& error)
{
    error = "";
    CPgnViewerDialog* viewer = m_viewer.get();
    CString text;
    if (!viewer || !viewer->ReadGame(n, text))
        return false;
    m_tags.RemoveAll();
    m_board.SetupStartPosition();
    CBufferFile file(text);
    bool ok = m_board.LoadPgnGame(file, m_tags, error);
    m_inPlay = false;
    // The file's result, so that writing the game again keeps it.
    const CString* result = m_tags.Find("Result");
    m_result = GameResult(result ? ResultFromText(*result) : RESULT_NONE);
    // A game without moves must at least be complete: text cut short in
    // its tags reads as an empty game otherwise.
    if (ok && m_board.GetPly() == 0 && !EndsWithResult(text))
        ok = false;
    return ok;
}
