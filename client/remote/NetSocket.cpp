#include "client/remote/NetSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
    MakeSocketNonBlocking(fd);
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
    MakeSocketNonBlocking(m_fd);
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
