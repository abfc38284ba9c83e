// A scripted app for the server benchmarks: a blocking loopback socket driven from its own
// thread, so the app side never competes with the server's event loop.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace BenchPeer {

// A connected blocking socket, or -1.
inline int connectLoopback(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        std::perror("connect");
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    return fd;
}

inline bool writeAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) {
            std::perror("send");
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

// Reads and drops exactly `size` bytes; false when the connection ends first.
inline bool readExactly(int fd, std::size_t size)
{
    char buffer[256];
    while (size > 0) {
        const ssize_t n = ::recv(fd, buffer, size < sizeof buffer ? size : sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        size -= std::size_t(n);
    }
    return true;
}

// Ends the connection once everything sent has been read: a socket closed while the program's
// own messages (its hello) lie unread in it is reset, and a reset throws away what the program
// had not read yet. So the app says it is done, reads whatever comes until the program closes
// too (five seconds at most), and only then closes.
inline void closeAfterSending(int fd)
{
    ::shutdown(fd, SHUT_WR);
    timeval wait{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char buffer[4096];
    while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
    ::close(fd);
}

} // namespace BenchPeer
