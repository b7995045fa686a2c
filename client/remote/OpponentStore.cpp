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

bool AskToStoreOpponent(const CString& name)
{
    CString who = name;
    who.Trim();
    CString text;
    text.AppendFormat("Would you like to add (or update) %s's profile to your opponent list?", who.GetText());
    CFrameView* frame = GetAppServices().GetFrameView();
    return GetPrompt().ShowMessage(text, "Opponent's Profile", wxYES_NO | wxICON_QUESTION,
                                   frame ? frame->GetWindow() : nullptr) == wxYES;
}

EProfileAnswer AskToStoreOpponentProfile(CFile& profileArchive, CString& id)
{
    CConfig profile;
    id = "";
    CString read;
    if (!ReadProfileArchive(profileArchive, profile, read))
        return EProfileAnswer::kRefused;
    id = read;
    if (!AskToStoreOpponent(profile.GetValueOr("name", "")))
        return EProfileAnswer::kDeclined;
    if (!profileArchive.Seek(0, CFile::kSeekStart) || !GetOpponentList().Install(profileArchive))
        return EProfileAnswer::kRefused;
    return EProfileAnswer::kStored;
}
