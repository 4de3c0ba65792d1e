// The service's HTTP/1.1 server: event-driven on Boost.Asio, requests parsed
// by Boost.Beast's strict parser, route handlers run on a small pool of
// threads (they may block: the report route waits for its commit).
//
// Contract:
// - A connection costs no thread while it waits. A few I/O threads read,
//   parse and write for every connection; a handler never runs on them
//   unless its route is marked Inline (quick, never blocking).
// - Deadlines: a request's line and headers must arrive within
//   headerTimeout (counted from the accept for a new connection, from the
//   first byte for a kept-alive one), its body within bodyTimeout after
//   that; a late request is answered 408 and the connection closed. A
//   kept-alive connection idle for idleTimeout is closed. An answer that
//   makes no progress for sendTimeout ends its connection.
// - At most maxConnections are open (lowered to fit the descriptor limit).
//   At the cap the connection idle the longest is closed for the new one;
//   with none idle, accepting pauses until one ends or waits (the kernel's
//   listen queue, as long as the system allows, holds the rest). The
//   connection accepted when the cap is found full is still served, so the
//   count may pass the cap by one.
// - Framing per HTTP/1.1: a body on any method is read (within
//   maxBodyBytes, else 413) and dropped, never taken for the next request;
//   Content-Length with Transfer-Encoding, a transfer coding other than
//   chunked last, a bare line feed or anything else malformed gets one 400.
//   A request line over maxHeaderBytes gets 414, headers over it 431. After
//   each of these refusals the connection is closed (what the client still
//   sends is read and dropped for a moment, so that it sees the answer).
// - GET and HEAD are the only methods (others: 405 on a known path, 404
//   otherwise). HEAD runs the route's handler with method "HEAD" (a handler
//   with side effects checks HttpRequest::IsHead and leaves them out); the
//   layer drops the body. Range and conditional headers are the route's
//   business.
// - Stop closes the listener and every connection not in the middle of a
//   request at once, gives requests being handled or answered stopGrace to
//   finish, then closes what is left and returns.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "server/http_message.h"

namespace distd {

struct ConnectionLimits {
    size_t workers = 16;  // threads running route handlers
    size_t ioThreads = 2; // threads reading, parsing and writing
    size_t maxConnections = 10000;
    size_t maxHeaderBytes = 64 * 1024; // request line and headers
    size_t maxBodyBytes = 64 * 1024;   // a request body (read and dropped)
    std::chrono::milliseconds headerTimeout{10000};
    std::chrono::milliseconds bodyTimeout{10000};
    std::chrono::milliseconds idleTimeout{20000}; // kept-alive, between requests
    std::chrono::milliseconds sendTimeout{30000}; // an answer without progress
    std::chrono::milliseconds stopGrace{5000};    // requests in progress at a stop
    size_t keepAliveRequests = 1000;              // requests per connection
};

// What a request the HTTP layer refused for its size looked like: its
// sender and the first bytes of its request line.
struct OversizedRequest {
    std::string source;
    std::string head; // at most 1 KiB
    int status = 0;   // 414 or 431
};

// What the layer has seen since it started; for the dashboard and logs.
struct HttpCounters {
    uint64_t open = 0;         // connections open now
    uint64_t idle = 0;         // of them waiting for a request
    uint64_t accepted = 0;     // connections accepted
    uint64_t requests = 0;     // requests answered by a route
    uint64_t idleClosed = 0;   // closed after idleTimeout
    uint64_t evicted = 0;      // idle, closed to make room at the cap
    uint64_t timedOut = 0;     // 408: header or body too slow
    uint64_t malformed = 0;    // 400
    uint64_t oversized = 0;    // 413, 414, 431
    uint64_t sendStalled = 0;  // answers cut after sendTimeout
    uint64_t acceptPauses = 0; // times accepting paused at the cap
    uint64_t acceptErrors = 0; // failed accepts (descriptors exhausted)
    size_t maxConnections = 0; // the cap in force
};

class HttpServer {
public:
    using Handler = std::function<void(const HttpRequest&, HttpResponse&)>;
    enum class Run {
        OnPool, // on a pool thread: may block
        Inline, // on the I/O thread: must be quick and never block
    };

    explicit HttpServer(const ConnectionLimits& limits);
    ~HttpServer(); // Stop()
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // A GET (and HEAD) route. `pattern` is matched against the path (the
    // target before "?"): literal characters, and "{}" for one non-empty
    // segment without "/" (percent-decoded into HttpRequest::matches; a
    // segment that decodes to something holding "/" or NUL does not match).
    // Routes are tried in the order they were added. Add them before Start.
    void Get(const std::string& pattern, Handler handler, Run run = Run::OnPool);
    // The same with any test of the path.
    void Get(std::function<bool(const std::string& path)> matches, Handler handler,
             Run run = Run::OnPool);

    // Called on a pool thread for each request refused for its size.
    void SetOversizedHandler(std::function<void(const OversizedRequest&)> handler);

    // Binds host:port (port 0: any free port) with a listen queue as long as
    // the system allows. False with a message when the address cannot be
    // had.
    bool Bind(const std::string& host, int port, std::string& error);
    int Port() const; // once bound
    // Starts serving (after Bind, with every route added).
    void Start();

    // Idempotent; see the contract above.
    void Stop();

    HttpCounters GetCounters() const;

    struct Core; // shared with the connections

private:
    std::shared_ptr<Core> m_core;
};

// True when the path matches a route pattern (see HttpServer::Get); the
// decoded "{}" parts go to `matches`.
bool MatchPathPattern(const std::string& pattern, const std::string& path,
                      std::vector<std::string>& matches);

} // namespace distd
