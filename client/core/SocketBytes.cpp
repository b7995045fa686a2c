#include "client/core/SocketBytes.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

using Zorlin::CString;

namespace {

// Small frames go out at once; a local socket has nothing to set.
void SetNoDelay(int fd)
{
    sockaddr_storage address = {};
    socklen_t size = sizeof(address);
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0 || address.ss_family != AF_INET)
        return;
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

} // namespace

void MakeSocketNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
}

CSocketBytes::CSocketBytes(int fd, int writeLimitMs) : m_fd(fd), m_writeLimitMs(writeLimitMs)
{
    if (m_fd >= 0) {
        MakeSocketNonBlocking(m_fd);
        SetNoDelay(m_fd);
    }
}

CSocketBytes::~CSocketBytes()
{
    Close();
}

void CSocketBytes::Close()
{
    m_watch.Stop();
    m_onOutput = nullptr;
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

uint64_t CSocketBytes::GetBytesWaiting() const
{
    int waiting = 0;
    if (m_fd < 0 || ioctl(m_fd, FIONREAD, &waiting) != 0 || waiting < 0)
        return 0;
    return uint64_t(waiting);
}

int CSocketBytes::Read(char* buffer, int size)
{
    if (m_fd < 0)
        return -1;
    if (size <= 0)
        return 0;
    for (;;) {
        const ssize_t n = recv(m_fd, buffer, size_t(size), MSG_DONTWAIT);
        if (n > 0) {
            m_bytesRead += uint64_t(n);
            if (m_onOutput)
                m_watch.Arm(m_fd, m_onOutput);
            return int(n);
        }
        if (n == 0) {
            Close();
            return -1;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (m_onOutput)
                m_watch.Arm(m_fd, m_onOutput);
            return 0;
        }
        Close();
        return -1;
    }
}

bool CSocketBytes::WatchOutput(std::function<void()> onOutput)
{
    m_watch.Stop();
    m_onOutput = std::move(onOutput);
    return m_fd >= 0 && m_onOutput && m_watch.Arm(m_fd, m_onOutput);
}

bool CSocketBytes::Write(const char* data, int size)
{
    if (m_fd < 0)
        return false;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(m_writeLimitMs);
    int done = 0;
    while (done < size) {
        const ssize_t n = send(m_fd, data + done, size_t(size - done), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            break;
        const long left =
            long(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
        if (left <= 0)
            break;
        pollfd wait = { m_fd, POLLOUT, 0 };
        poll(&wait, 1, int(left));
    }
    if (done == size)
        return true;
    // A frame cut short leaves the stream unreadable: the connection is done.
    Close();
    return false;
}

void CSocketBytes::WaitReadable(int ms)
{
    if (m_fd < 0)
        return;
    pollfd wait = { m_fd, POLLIN, 0 };
    poll(&wait, 1, ms);
}

bool CSocketBytes::GetPeerUid(unsigned& uid) const
{
    ucred peer = {};
    socklen_t size = sizeof(peer);
    if (m_fd < 0 || getsockopt(m_fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof(peer))
        return false;
    uid = unsigned(peer.uid);
    return true;
}

CString CSocketBytes::GetPeerAddress(int& port) const
{
    port = 0;
    sockaddr_in address = {};
    socklen_t size = sizeof(address);
    if (m_fd < 0 || getpeername(m_fd, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        address.sin_family != AF_INET)
        return CString();
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof(text));
    port = ntohs(address.sin_port);
    return CString(text);
}

