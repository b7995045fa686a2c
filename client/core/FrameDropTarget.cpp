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
    // The dispatch asks the game on the board before a PGN file or a saved
    // game replaces it, and a transport file is asked only when what it
    // holds would.
    if (CChessApp* app = GetChessApp())
        app->OpenTransportFile(path.GetText());
    return true;
}
