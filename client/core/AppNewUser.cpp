// The first start of a new user: the profile dialog asks for the name and
// photo. Until that dialog exists the new user starts at once, keeping
// profile.id "calculate" so the dialog opens at a later start.

#include "client/core/ChessApp.h"

bool CChessApp::RunNewUserProfile()
{
    return true;
}
