#include "foundation/Win32File.h"

#include <cerrno>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Zorlin {

namespace {

int AccessFlags(unsigned mode)
{
    const bool read = (mode & CFile::kModeRead) != 0;
    const bool write = (mode & CFile::kModeWrite) != 0;
    if (read && write)
        return O_RDWR;
    return write ? O_WRONLY : O_RDONLY;
}

int CreationFlags(unsigned mode)
{
    if (mode & CFile::kModeCreateNew)
        return O_CREAT | O_EXCL;
    if (mode & CFile::kModeCreate)
        return O_CREAT | O_TRUNC;
    if ((mode & CFile::kModeOpenOrCreate) && !(mode & CFile::kModeAppend))
        return O_CREAT;
    return 0;
}

int OpenFlags(unsigned mode)
{
    // Non-blocking only while opening, so a FIFO cannot hang us.
    int flags = AccessFlags(mode) | CreationFlags(mode) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (mode & CFile::kModeWriteThrough)
        flags |= O_DSYNC;
    return flags;
}

void AdviseAccess(int handle, unsigned mode)
{
    if (mode & CFile::kModeSequential)
        posix_fadvise(handle, 0, 0, POSIX_FADV_SEQUENTIAL);
    else if (mode & CFile::kModeRandom)
        posix_fadvise(handle, 0, 0, POSIX_FADV_RANDOM);
}

uint64_t NotNegative(int64_t value)
{
    return value < 0 ? 0 : static_cast<uint64_t>(value);
}

} // namespace

CWin32File::CWin32File() : m_handle(-1), m_deleteOnClose(false) {}

CWin32File::CWin32File(const CString& path, unsigned mode) : CWin32File()
{
    Open(path, mode);
}

CWin32File::CWin32File(const char* path, unsigned mode) : CWin32File()
{
    Open(CString(path), mode);
}

CWin32File::~CWin32File()
{
    Close();
}

bool CWin32File::Open(const CString& path, unsigned mode)
{
    Close();
    m_mode = mode;
    // Names built for the other platform use backslashes as separators.
    CString name(path);
    name.Replace('\\', '/');
    if (name.IsEmpty())
        return false;

    int handle;
    do
        handle = ::open(name.GetText(), OpenFlags(mode), 0666);
    while (handle == -1 && errno == EINTR);
    if (handle == -1)
        return false;

    // A file this open created is a new plain file: nothing to check.
    if (!(mode & kModeCreateNew)) {
        struct stat info;
        if (fstat(handle, &info) != 0 || S_ISDIR(info.st_mode)) {
            ::close(handle);
            return false;
        }
        const int flags = fcntl(handle, F_GETFL);
        if (flags != -1)
            fcntl(handle, F_SETFL, flags & ~O_NONBLOCK);
    }
    AdviseAccess(handle, mode);

    m_handle = handle;
    m_deleteOnClose = (mode & kModeDeleteOnClose) != 0;
    m_state = StateFromMode(mode);
    m_name = name;
    if (mode & kModeAppend)
        lseek(m_handle, 0, SEEK_END);
    return true;
}

void CWin32File::Close()
{
    if (m_handle == -1)
        return;
    ::close(m_handle);
    m_handle = -1;
    if (m_deleteOnClose)
        ::unlink(m_name.GetText());
    m_deleteOnClose = false;
}

bool CWin32File::IsRegular() const
{
    struct stat info;
    return m_handle != -1 && fstat(m_handle, &info) == 0 && S_ISREG(info.st_mode);
}

uint64_t CWin32File::GetSize() const
{
    struct stat info;
    if (m_handle == -1 || fstat(m_handle, &info) != 0)
        return 0;
    return NotNegative(info.st_size);
}

bool CWin32File::Read(void* buffer, unsigned count)
{
    m_lastRead = 0;
    if (m_handle == -1 || !(m_state & kStateReadable))
        return false;
    unsigned char* out = static_cast<unsigned char*>(buffer);
    while (m_lastRead < count) {
        const ssize_t got = ::read(m_handle, out + m_lastRead, count - m_lastRead);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        m_lastRead += static_cast<uint32_t>(got);
    }
    return m_lastRead > 0;
}

bool CWin32File::Write(const void* buffer, unsigned count)
{
    m_lastWrite = 0;
    if (m_handle == -1 || !(m_state & kStateWritable) || count == 0)
        return false;
    const unsigned char* in = static_cast<const unsigned char*>(buffer);
    while (m_lastWrite < count) {
        const ssize_t put = ::write(m_handle, in + m_lastWrite, count - m_lastWrite);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        m_lastWrite += static_cast<uint32_t>(put);
    }
    return m_lastWrite == count;
}

bool CWin32File::Seek(int64_t offset, int origin)
{
    if (m_handle == -1)
        return false;
    int64_t base;
    switch (origin) {
    case kSeekStart:
        base = 0;
        break;
    case kSeekEnd: {
        struct stat info;
        if (fstat(m_handle, &info) != 0)
            return false;
        base = info.st_size;
        break;
    }
    case kSeekCurrent:
        base = lseek(m_handle, 0, SEEK_CUR);
        if (base < 0)
            return false;
        break;
    default:
        return false;
    }
    struct stat info;
    // An offset far out of range must not wrap round.
    if (offset > 0 && base > INT64_MAX - offset)
        return false;
    const int64_t target = base + offset;
    if (fstat(m_handle, &info) != 0 || target < 0 || target > info.st_size)
        return false;
    return lseek(m_handle, static_cast<off_t>(target), SEEK_SET) == static_cast<off_t>(target);
}

uint64_t CWin32File::GetPosition() const
{
    if (m_handle == -1)
        return 0;
    return NotNegative(lseek(m_handle, 0, SEEK_CUR));
}

void CWin32File::Flush()
{
    if (m_handle != -1)
        fsync(m_handle);
}

} // namespace Zorlin
