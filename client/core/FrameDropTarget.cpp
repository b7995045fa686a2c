#include "client/core/FrameDropTarget.h"

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/GameFileRules.h"
#include "client/core/WxText.h"

using Zorlin::CString;

bool CFrameDropTarget::OnDropFiles(wxCoord, wxCoord, const wxArrayString& names)
{
    if (names.size() != 1)
        return false;
    const CString path = FromWx(names[0]);
    const EDroppedFile kind = ClassifyDroppedFile(path);
    if (kind == EDroppedFile::kRefused)
        return false;
    m_frame.Raise();
    switch (kind) {
    case EDroppedFile::kPgn:
        // A dropped file replaces the current game as Open does, so it asks
        // the same question first.
        if (m_frame.MayLeaveGame())
            m_frame.OpenPgnFile(path);
        break;
    case EDroppedFile::kSavedGame:
        if (m_frame.MayLeaveGame())
            m_frame.OpenGameFile(path);
        break;
    case EDroppedFile::kTransport:
        // What a transport file holds decides whether it touches the game
        // at all (a board or voice package does not), so the dispatch asks.
        if (CChessApp* app = GetChessApp())
            app->OpenTransportFile(path.GetText());
        break;
    case EDroppedFile::kRefused:
        break;
    }
    return true;
}
