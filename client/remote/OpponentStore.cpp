#include "client/remote/OpponentStore.h"

#include <memory>

#include <wx/defs.h>

#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/FrameView.h"
#include "client/core/ProfileArchive.h"
#include "client/core/Prompt.h"
#include "client/remote/OpponentList.h"
#include "foundation/Config.h"
#include "foundation/File.h"

using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

// Programs without the application object (tests) keep their own list.
std::unique_ptr<COpponentList> g_ownList;

} // namespace

COpponentList& GetOpponentList()
{
    Zorlin::CDrive& drive = GetAppServices().GetUserDrive();
    if (CChessApp* app = GetChessApp()) {
        if (!app->m_opponentList) {
            app->m_opponentList = new COpponentList(drive);
            app->m_opponentList->Load();
        }
        return *app->m_opponentList;
    }
    // Programs without the application (tests): one list per user folder.
    static Zorlin::CDrive* ownDrive = nullptr;
    if (!g_ownList || ownDrive != &drive) {
        g_ownList.reset(new COpponentList(drive));
        ownDrive = &drive;
        g_ownList->Load();
    }
    return *g_ownList;
}

bool AskToStoreOpponentProfile(CFile& profileArchive)
{
    CConfig profile;
    CString id;
    if (!ReadProfileArchive(profileArchive, profile, id))
        return false;
    COpponentList& list = GetOpponentList();
    if (!list.Find(id)) {
        CString name = profile.GetValueOr("name", "");
        name.Trim();
        CString text("Your opponent has sent their profile");
        if (!name.IsEmpty())
            text += CString(" (") + name + ")";
        text += ".\n\nAdd it to your list of opponents?";
        CFrameView* frame = GetAppServices().GetFrameView();
        if (GetPrompt().ShowMessage(text, "Opponent's Profile", wxYES_NO | wxICON_QUESTION,
                                    frame ? frame->GetWindow() : nullptr) != wxYES)
            return false;
    }
    if (!profileArchive.Seek(0, CFile::kSeekStart))
        return false;
    return list.Install(profileArchive) != nullptr;
}
