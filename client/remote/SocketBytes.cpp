#include "client/remote/SocketBytes.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

using Zorlin::CString;

namespace {

void MakeNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
}

void SetNoDelay(int fd)
{
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

} // namespace

CSocketBytes::CSocketBytes(int fd, int writeLimitMs) : m_fd(fd), m_writeLimitMs(writeLimitMs)
{
    if (m_fd >= 0) {
        MakeNonBlocking(m_fd);
        SetNoDelay(m_fd);
    }
}

CSocketBytes::~CSocketBytes()
{
    Close();
}

void CSocketBytes::Close()
{
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
            return int(n);
        }
        if (n == 0) {
            Close();
            return -1;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        Close();
        return -1;
    }
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

namespace NetSocket {

int Listen(int port)
{
    if (port < 0 || port > 65535)
        return -1;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(uint16_t(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    MakeNonBlocking(fd);
    return fd;
}

int LocalPort(int fd)
{
    sockaddr_in address = {};
    socklen_t size = sizeof(address);
    if (fd < 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

int AcceptWaiting(int listener)
{
    if (listener < 0)
        return -1;
    for (;;) {
        const int fd = accept(listener, nullptr, nullptr);
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}

int RefuseWaiting(int listener)
{
    int refused = 0;
    for (int fd; (fd = AcceptWaiting(listener)) >= 0; ++refused)
        close(fd);
    return refused;
}

CConnectAttempt::~CConnectAttempt()
{
    Cancel();
}

void CConnectAttempt::Cancel()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool CConnectAttempt::Start(const char* host, int port)
{
    Cancel();
    if (!host || !*host || port <= 0 || port > 65535)
        return false;
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found)
        return false;
    sockaddr_in address = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
    freeaddrinfo(found);
    address.sin_port = htons(uint16_t(port));
    m_fd = socket(AF_INET, SOCK_STREAM, 0);
    if (m_fd < 0)
        return false;
    MakeNonBlocking(m_fd);
    if (connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 && errno != EINPROGRESS) {
        Cancel();
        return false;
    }
    return true;
}

CConnectAttempt::EState CConnectAttempt::Check(int waitMs)
{
    if (m_fd < 0)
        return kFailed;
    pollfd wait = { m_fd, POLLOUT, 0 };
    const int ready = poll(&wait, 1, waitMs);
    if (ready == 0)
        return kPending;
    int error = 0;
    socklen_t size = sizeof(error);
    if (ready < 0 || getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
        Cancel();
        return kFailed;
    }
    return kConnected;
}

int CConnectAttempt::TakeSocket()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

} // namespace NetSocket
