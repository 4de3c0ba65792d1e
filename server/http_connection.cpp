// Worker pool and size-limited socket stream under httplib's request
// processing.
#include "server/http_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace distd {

namespace {

constexpr size_t kHeadCaptureBytes = 1024;

// A fixed set of threads; enqueue blocks while the backlog is full, which
// holds the accept loop (and lets the kernel's listen queue push back).
class BoundedPool : public httplib::TaskQueue {
public:
    BoundedPool(size_t threads, size_t backlog) : m_backlog(backlog ? backlog : 1) {
        for (size_t i = 0; i < (threads ? threads : 1); ++i) {
            m_threads.emplace_back([this] { Work(); });
        }
    }
    ~BoundedPool() override { shutdown(); }

    void enqueue(std::function<void()> fn) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_room.wait(lock, [this] { return m_jobs.size() < m_backlog || m_shutdown; });
        m_jobs.push_back(std::move(fn));
        m_work.notify_one();
    }

    void shutdown() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_shutdown && m_threads.empty()) {
                return;
            }
            m_shutdown = true;
        }
        m_work.notify_all();
        m_room.notify_all();
        for (std::thread& thread : m_threads) {
            thread.join();
        }
        m_threads.clear();
    }

private:
    void Work() {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_work.wait(lock, [this] { return m_shutdown || !m_jobs.empty(); });
                if (m_jobs.empty()) {
                    return; // shut down with nothing left to do
                }
                fn = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            m_room.notify_one();
            fn();
        }
    }

    const size_t m_backlog;
    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_room;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    bool m_shutdown = false;
};

bool WaitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int rc = ::poll(&p, 1, timeoutMs);
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        return rc > 0;
    }
}

std::string AddressText(const sockaddr_storage& addr, int& port) {
    char text[INET6_ADDRSTRLEN] = "";
    port = 0;
    if (addr.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&addr);
        ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text));
        port = ntohs(in->sin_port);
    } else if (addr.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&addr);
        ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof(text));
        port = ntohs(in6->sin6_port);
    }
    return text;
}

// A buffered socket stream that counts the bytes each request reads, keeps
// the first of them, and notes the status line of the answer it writes.
class LimitedStream : public httplib::Stream {
public:
    LimitedStream(int fd, const ConnectionLimits& limits) : m_fd(fd), m_limits(limits) {
        m_buffer.resize(16 * 1024);
    }

    // Starts counting a new request.
    void BeginRequest() {
        m_requestBytes = 0;
        m_exceeded = false;
        m_head.clear();
        m_status = 0;
        m_sawLineEnd = false;
    }
    bool Exceeded() const { return m_exceeded; }
    bool SawLineEnd() const { return m_sawLineEnd; }
    int Status() const { return m_status; }
    const std::string& Head() const { return m_head; }
    bool HasBuffered() const { return m_begin < m_end; }

    bool is_readable() const override {
        return HasBuffered() || WaitFor(m_fd, POLLIN, m_limits.readTimeoutSeconds * 1000);
    }
    bool is_writable() const override {
        return WaitFor(m_fd, POLLOUT, m_limits.writeTimeoutSeconds * 1000);
    }

    ssize_t read(char* ptr, size_t size) override {
        if (m_requestBytes >= m_limits.maxRequestBytes) {
            m_exceeded = true;
            return -1;
        }
        if (!HasBuffered()) {
            if (!WaitFor(m_fd, POLLIN, m_limits.readTimeoutSeconds * 1000)) {
                return -1;
            }
            ssize_t got;
            do {
                got = ::recv(m_fd, m_buffer.data(), m_buffer.size(), 0);
            } while (got < 0 && errno == EINTR);
            if (got <= 0) {
                return got;
            }
            m_begin = 0;
            m_end = static_cast<size_t>(got);
        }
        size_t n = std::min(size, m_end - m_begin);
        n = std::min(n, m_limits.maxRequestBytes - m_requestBytes);
        std::memcpy(ptr, m_buffer.data() + m_begin, n);
        if (m_head.size() < kHeadCaptureBytes) {
            m_head.append(ptr, std::min(n, kHeadCaptureBytes - m_head.size()));
        }
        if (!m_sawLineEnd && std::memchr(ptr, '\n', n) != nullptr) {
            m_sawLineEnd = true;
        }
        m_begin += n;
        m_requestBytes += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (m_status == 0 && size >= 12 && std::memcmp(ptr, "HTTP/1.", 7) == 0) {
            m_status = (ptr[9] - '0') * 100 + (ptr[10] - '0') * 10 + (ptr[11] - '0');
        }
        if (!is_writable()) {
            return -1;
        }
        ssize_t sent;
        do {
            sent = ::send(m_fd, ptr, size, MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        return sent;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage addr{};
        socklen_t len = sizeof(addr);
        if (::getpeername(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            ip = AddressText(addr, port);
        }
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage addr{};
        socklen_t len = sizeof(addr);
        if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            ip = AddressText(addr, port);
        }
    }
    socket_t socket() const override { return m_fd; }

private:
    int m_fd;
    const ConnectionLimits& m_limits;
    std::vector<char> m_buffer;
    size_t m_begin = 0;
    size_t m_end = 0;
    size_t m_requestBytes = 0;
    bool m_exceeded = false;
    bool m_sawLineEnd = false;
    int m_status = 0;
    std::string m_head;
};

// Answers a request refused for its size, then reads and drops what the
// client still sends (at most 16 MiB or 2 seconds) before the close, so the
// close does not reset the connection under the client's feet.
void RefuseAndLinger(int fd, int status) {
    const std::string answer =
        std::string("HTTP/1.1 ") +
        (status == 414 ? "414 URI Too Long" : "431 Request Header Fields Too Large") +
        "\r\nContent-Type: text/plain\r\nContent-Length: 18\r\nConnection: close\r\n\r\n"
        "request too large\n";
    (void)::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    char sink[16384];
    size_t drained = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (drained < 16 * 1024 * 1024 && std::chrono::steady_clock::now() < until) {
        if (!WaitFor(fd, POLLIN, 200)) {
            continue;
        }
        const ssize_t got = ::recv(fd, sink, sizeof(sink), 0);
        if (got <= 0) {
            break;
        }
        drained += static_cast<size_t>(got);
    }
}

} // namespace

LimitedServer::LimitedServer(const ConnectionLimits& limits) : m_limits(limits) {
    const size_t workers = limits.workers;
    const size_t pending = limits.pendingConnections;
    new_task_queue = [workers, pending] { return new BoundedPool(workers, pending); };
    set_read_timeout(limits.readTimeoutSeconds, 0);
    set_write_timeout(limits.writeTimeoutSeconds, 0);
    set_keep_alive_timeout(limits.keepAliveSeconds);
    set_keep_alive_max_count(limits.keepAliveRequests);
    set_payload_max_length(limits.maxRequestBytes);
    // A response goes out as several writes (head, then body); without this
    // a kept-alive client waits for its delayed acknowledgement (about 40 ms)
    // before each answer arrives whole.
    set_tcp_nodelay(true);
}

bool LimitedServer::process_and_close_socket(socket_t sock) {
    // An answer goes out as headers and body in two writes; without this the
    // body would wait for the client's delayed acknowledgement.
    const int one = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    LimitedStream stream(sock, m_limits);
    bool ok = false;
    for (size_t count = m_limits.keepAliveRequests; count > 0; --count) {
        // Wait for the next request of a kept-alive connection, checking for
        // a stop of the server now and then.
        bool ready = stream.HasBuffered();
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::seconds(m_limits.keepAliveSeconds);
        while (!ready && svr_sock_ != INVALID_SOCKET && std::chrono::steady_clock::now() < until) {
            ready = WaitFor(sock, POLLIN, 100);
        }
        if (!ready || svr_sock_ == INVALID_SOCKET) {
            break;
        }
        stream.BeginRequest();
        bool closed = false;
        // httplib parses the Range header itself and would apply it to any
        // answer; the download handler reads the header on its own.
        ok = process_request(stream, count == 1, closed,
                             [](httplib::Request& req) { req.ranges.clear(); });
        if (stream.Exceeded()) {
            OversizedRequest refused;
            refused.status = stream.SawLineEnd() ? 431 : 414;
            refused.head = stream.Head();
            int port = 0;
            stream.get_remote_ip_and_port(refused.source, port);
            RefuseAndLinger(sock, refused.status);
            if (m_onOversized) {
                m_onOversized(refused);
            }
            ok = false;
            break;
        }
        if (stream.Status() == 414 && m_onOversized) {
            // httplib's own limit on the request line (shorter than ours).
            OversizedRequest refused;
            refused.status = 414;
            refused.head = stream.Head();
            int port = 0;
            stream.get_remote_ip_and_port(refused.source, port);
            m_onOversized(refused);
        }
        if (!ok || closed) {
            break;
        }
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return ok;
}

} // namespace distd
