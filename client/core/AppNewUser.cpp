// The first start of a new user: the profile dialog (after its introduction)
// asks for the name and photo before anything else starts. It has no parent:
// the frame does not exist yet.

#include "client/core/ChessApp.h"
#include "client/dialogs/ProfileDialog.h"

bool CChessApp::RunNewUserProfile()
{
    CProfileDialog dialog(nullptr);
    // Cancel is disabled for a new user, so only the close box gives 0.
    return dialog.ShowModal() != 0;
}
