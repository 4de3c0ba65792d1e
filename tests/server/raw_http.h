// A plain TCP connection to a loopback port, for the requests no HTTP client
// library sends (trickled headers, bodies on GET, bare line feeds) and for
// seeing exactly how many answers came back and whether the server closed.
#pragma once

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <string>

namespace distd_test {

class RawConnection {
public:
    explicit RawConnection(int port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
        if (m_fd >= 0) {
            const int one = 1;
            ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
        }
    }
    ~RawConnection() { Close(); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;
    RawConnection(RawConnection&& other) noexcept : m_fd(other.m_fd), m_closed(other.m_closed) {
        other.m_fd = -1;
    }

    bool Connected() const { return m_fd >= 0; }
    void Close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

    // False when the peer has closed or reset the connection.
    bool Send(const std::string& bytes) {
        size_t sent = 0;
        while (m_fd >= 0 && sent < bytes.size()) {
            const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            sent += static_cast<size_t>(n);
        }
        return m_fd >= 0;
    }

    // Reads what arrives until the peer closes, `quiet` passes with nothing
    // new, or `limit` passes in all.
    std::string Read(std::chrono::milliseconds quiet, std::chrono::milliseconds limit) {
        std::string got;
        const auto until = std::chrono::steady_clock::now() + limit;
        auto lastData = std::chrono::steady_clock::now();
        char buffer[65536];
        while (m_fd >= 0 && !m_closed) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= until || now - lastData >= quiet) {
                break;
            }
            pollfd p{m_fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, 50);
            if (ready <= 0) {
                continue;
            }
            const ssize_t n = ::recv(m_fd, buffer, sizeof(buffer), 0);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                m_closed = true; // end of stream or reset
                break;
            }
            got.append(buffer, static_cast<size_t>(n));
            lastData = std::chrono::steady_clock::now();
        }
        return got;
    }
    // Reads until the peer closes (or `limit` passes).
    std::string ReadToClose(std::chrono::milliseconds limit) { return Read(limit, limit); }

    // True once a read found the connection closed by the peer.
    bool ClosedByPeer() const { return m_closed; }

private:
    int m_fd = -1;
    bool m_closed = false;
};

// How many answers a stream of response bytes holds: status lines
// ("HTTP/1.1 200 "), wherever they are (a body need not end in a line
// break; no body the tests fetch holds such a text).
inline int CountAnswers(const std::string& bytes) {
    int count = 0;
    for (size_t at = bytes.find("HTTP/1."); at != std::string::npos;
         at = bytes.find("HTTP/1.", at + 1)) {
        if (at + 13 <= bytes.size() && bytes[at + 8] == ' ' &&
            std::isdigit(static_cast<unsigned char>(bytes[at + 9])) &&
            std::isdigit(static_cast<unsigned char>(bytes[at + 10])) &&
            std::isdigit(static_cast<unsigned char>(bytes[at + 11])) && bytes[at + 12] == ' ') {
            ++count;
        }
    }
    return count;
}

// The status code of the first answer in a stream of response bytes; 0 when
// there is none.
inline int FirstStatus(const std::string& bytes) {
    if (bytes.size() < 12 || bytes.compare(0, 7, "HTTP/1.") != 0) {
        return 0;
    }
    return std::atoi(bytes.substr(9, 3).c_str());
}

} // namespace distd_test
