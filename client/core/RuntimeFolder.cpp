#include "client/core/RuntimeFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using Zorlin::CString;

namespace {

const char kFolderPrefix[] = "rookwell-";
const char kSocketName[] = "hand-over";
// "/rookwell-UID-XXXXXX/hand-over" with the longest uid.
const int kRoomBelowBase = 1 + 9 + 10 + 7 + 1 + 9;

bool IsPrivateFolder(const CString& path)
{
    struct stat info;
    return lstat(path.GetText(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & 077) == 0;
}

CString FolderOf(const CString& path)
{
    const int slash = path.ReverseFind('/');
    return slash > 0 ? path.Mid(0, slash - 1) : CString();
}

bool IsRuntimeFolderName(const CString& folder)
{
    const int slash = folder.ReverseFind('/');
    return slash >= 0 && strncmp(folder.GetText() + slash + 1, kFolderPrefix, sizeof kFolderPrefix - 1) == 0;
}

bool LocalAddress(const CString& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.GetLength() >= int(sizeof address.sun_path))
        return false;
    memcpy(address.sun_path, path.GetText(), size_t(path.GetLength()));
    return true;
}

bool FitsBelow(const char* base)
{
    return base[0] == '/' && int(strlen(base)) + kRoomBelowBase <= kMaxSocketPath;
}

} // namespace

CString RuntimeBase()
{
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    struct stat info;
    if (runtime && FitsBelow(runtime) && stat(runtime, &info) == 0 && S_ISDIR(info.st_mode) &&
        info.st_uid == getuid() && (info.st_mode & 07777) == 0700)
        return CString(runtime);
    return CString();
}

CString MakeRuntimeFolder()
{
    const char* temporary = getenv("TMPDIR");
    const CString bases[] = {RuntimeBase(), temporary && FitsBelow(temporary) ? CString(temporary) : CString(),
                             CString("/tmp")};
    for (const CString& base : bases) {
        if (base.IsEmpty())
            continue;
        CString pattern = base;
        pattern.AppendFormat("/%s%u-XXXXXX", kFolderPrefix, unsigned(getuid()));
        std::string text(pattern.GetText());
        if (mkdtemp(&text[0]))
            return CString(text.c_str());
    }
    return CString();
}

CString RuntimeSocket(const CString& folder)
{
    return folder + "/" + kSocketName;
}

void RemoveRuntimeSocket(const CString& socketPath)
{
    const CString folder = FolderOf(socketPath);
    if (folder.IsEmpty() || !IsRuntimeFolderName(folder) || !IsPrivateFolder(folder) ||
        RuntimeSocket(folder) != socketPath)
        return;
    struct stat info;
    if (lstat(socketPath.GetText(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_uid == getuid())
        unlink(socketPath.GetText());
    rmdir(folder.GetText());
}

ESocketOwner SocketOwner(const CString& socketPath)
{
    const CString folder = FolderOf(socketPath);
    struct stat info;
    if (folder.IsEmpty() || socketPath.GetLength() > kMaxSocketPath)
        return ESocketOwner::kForeign;
    if (lstat(folder.GetText(), &info) != 0)
        return errno == ENOENT ? ESocketOwner::kMissing : ESocketOwner::kForeign;
    if (!IsPrivateFolder(folder))
        return ESocketOwner::kForeign;
    if (lstat(socketPath.GetText(), &info) != 0)
        return errno == ENOENT ? ESocketOwner::kMissing : ESocketOwner::kForeign;
    return S_ISSOCK(info.st_mode) && info.st_uid == getuid() ? ESocketOwner::kOwn : ESocketOwner::kForeign;
}

int ListenAtSocket(const CString& path)
{
    sockaddr_un address;
    const int fd = LocalAddress(path, address) ? socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0) : -1;
    if (fd < 0)
        return -1;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(path.GetText(), 0600) != 0 || listen(fd, SOMAXCONN) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int ConnectToSocket(const CString& path)
{
    sockaddr_un address;
    const int fd = LocalAddress(path, address) ? socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0) : -1;
    if (fd < 0)
        return -1;
    int made;
    do
        made = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    while (made != 0 && errno == EINTR);
    if (made != 0) {
        close(fd);
        return -1;
    }
    return fd;
}
