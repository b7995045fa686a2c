#include "foundation/NullFile.h"

namespace Zorlin {

bool CNullFile::Read(void*, unsigned)
{
    m_lastRead = 0;
    return false;
}

bool CNullFile::Write(const void*, unsigned)
{
    m_lastWrite = 0;
    return false;
}

} // namespace Zorlin
