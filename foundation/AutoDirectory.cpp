#include "foundation/AutoDirectory.h"

#include "foundation/Drive.h"

namespace Zorlin {

CAutoDirectory::CAutoDirectory(CDrive& drive, const char* path) : m_drive(&drive), m_ok(true)
{
    drive.PushDirectory();
    if (!path)
        return;
    m_ok = drive.ChangeDirectory(CURL(path));
    // A failed change kept the current folder, so there is nothing to change back.
    if (!m_ok)
        drive.DropDirectory();
}

CAutoDirectory::~CAutoDirectory()
{
    // The saved folder may have gone meanwhile; the stack is balanced either way.
    if (m_ok && !m_drive->PopDirectory())
        m_drive->DropDirectory();
}

} // namespace Zorlin
