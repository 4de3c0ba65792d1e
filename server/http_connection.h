// How the service's HTTP server treats connections: a fixed number of
// worker threads with a bounded backlog of accepted connections, and a
// socket stream that limits how many bytes one request may send, so that
// no request line or header block can grow memory without bound. A request
// over the limit is answered 414 (request line) or 431 (headers) and the
// connection is closed after the rest of what the client sends has been
// read and dropped for a short while (so that the client sees the answer
// instead of a reset).
#pragma once

#include <httplib.h>

#include <functional>
#include <string>

namespace distd {

struct ConnectionLimits {
    size_t workers = 16;                // threads answering requests
    size_t pendingConnections = 256;    // accepted connections waiting for a worker
    size_t maxRequestBytes = 64 * 1024; // request line, headers and body of one request
    int readTimeoutSeconds = 5;
    int writeTimeoutSeconds = 10;
    int keepAliveSeconds = 3;        // idle time before a kept-alive connection is closed
    size_t keepAliveRequests = 1000; // requests per connection
};

// What a request the HTTP layer refused for its size looked like: its
// sender and the first bytes of its request line.
struct OversizedRequest {
    std::string source;
    std::string head; // at most 1 KiB
    int status = 0;   // 414 or 431
};

// httplib's server with the connection handling above.
class LimitedServer : public httplib::Server {
public:
    explicit LimitedServer(const ConnectionLimits& limits);

    // Called (on a worker thread) for each request refused for its size.
    void SetOversizedHandler(std::function<void(const OversizedRequest&)> handler) {
        m_onOversized = std::move(handler);
    }

private:
    bool process_and_close_socket(socket_t sock) override;

    ConnectionLimits m_limits;
    std::function<void(const OversizedRequest&)> m_onOversized;
};

} // namespace distd
