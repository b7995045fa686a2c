// The user's own profile as it leaves this machine; the archive itself is
// written apart from the application so the readers build without windows.

#include "client/core/ChessApp.h"
#include "client/core/ProfileArchive.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/File.h"

using Zorlin::CFile;
using Zorlin::CString;

bool CChessApp::WriteProfileArchive(CFile& out, bool withEmail, bool withAddress)
{
    if (!m_userConfig || !m_userDrive)
        return false;
    const CString address = withAddress ? ChooseProfileAddress(ListMachineAddresses()) : CString();
    return ::WriteProfileArchive(out, *m_userConfig, *m_userDrive, withEmail, withAddress, address);
}
