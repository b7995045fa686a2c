#include "client/core/InstanceLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/DiskDrive.h"

using Zorlin::CString;

namespace {

// A record is one line: a socket's path or the mark of none.
const int kMaxRecord = 4096;

// Ours alone: made by us, entered by nobody else.
bool MakeOwnFolder(const CString& folder)
{
    if (!Zorlin::MakePrivateFolders(folder))
        return false;
    struct stat info;
    if (lstat(folder.GetText(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid())
        return false;
    return (info.st_mode & 077) == 0 || chmod(folder.GetText(), 0700) == 0;
}

} // namespace

const char CInstanceLock::kNoSocket[] = "-";

CInstanceLock::CInstanceLock(const CString& folder, const CString& name)
    : m_folder(folder), m_path(folder + "/" + name)
{
}

CInstanceLock::~CInstanceLock()
{
    if (m_fd >= 0)
        close(m_fd);
}

bool CInstanceLock::Open()
{
    if (m_fd >= 0)
        return true;
    if (m_folder.IsEmpty() || !MakeOwnFolder(m_folder))
        return false;
    // A few rounds, as other starts may put the same file aside meanwhile.
    for (int round = 0; round < 4; ++round) {
        const int fd = open(m_path.GetText(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        struct stat info;
        if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == getuid()) {
            m_fd = fd;
            return true;
        }
        const int error = errno;
        if (fd >= 0)
            close(fd);
        else if (error != ELOOP && error != EISDIR && error != EACCES && error != ENXIO)
            return false;
        if (unlink(m_path.GetText()) != 0 && rmdir(m_path.GetText()) != 0 && errno != ENOENT)
            return false;
    }
    return false;
}

bool CInstanceLock::Take()
{
    if (m_taken)
        return true;
    m_taken = m_fd >= 0 && flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    m_unlockable = !m_taken && (m_fd < 0 || errno != EWOULDBLOCK);
    return m_taken;
}

CString CInstanceLock::ReadRecord() const
{
    char text[kMaxRecord];
    const ssize_t n = m_fd >= 0 ? pread(m_fd, text, sizeof text, 0) : -1;
    const char* end = n > 0 ? static_cast<const char*>(memchr(text, '\n', size_t(n))) : nullptr;
    if (!end || memchr(text, 0, size_t(end - text)))
        return CString();
    CString record;
    record.Append(text, int(end - text));
    return record;
}

bool CInstanceLock::Record(const CString& text)
{
    if (!m_taken)
        return false;
    const CString line = text.IsEmpty() ? CString() : text + "\n";
    return ftruncate(m_fd, 0) == 0 &&
           pwrite(m_fd, line.GetText(), size_t(line.GetLength()), 0) == ssize_t(line.GetLength());
}
