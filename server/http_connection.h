// Inside the HTTP server (http_server.h): the state every connection shares
// (routes, limits, the registry of open and idle connections, the handler
// pool) and one connection's life: waiting, reading a request within its
// deadlines, handing it to its route, sending the answer, and closing.
//
// Threads: each connection's work runs on its own strand, so a connection
// is never touched by two threads at once; the registry is guarded by
// Core::mutex; handlers run on the pool and post their answer back to the
// connection's strand.
#pragma once

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "server/http_server.h"

namespace distd {

namespace net = boost::asio;
using tcp = boost::asio::ip::tcp;

class Connection;

// A fixed set of threads running posted jobs in order of arrival. Stop runs
// what is queued, then joins.
class WorkerPool {
public:
    void Start(size_t threads);
    void Post(std::function<void()> job);
    void Stop();
    ~WorkerPool() { Stop(); }

private:
    std::mutex m_mutex;
    std::condition_variable m_work;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    bool m_stopping = false;
};

struct HttpServer::Core {
    struct Route {
        std::function<bool(const std::string& path, std::vector<std::string>& matches)> match;
        Handler handler;
        Run run = Run::OnPool;
    };

    explicit Core(const ConnectionLimits& l);

    // The first route whose pattern matches the path, with its matches.
    const Route* Find(const std::string& path, std::vector<std::string>& matches) const;

    // The registry. Register and Unregister bracket a connection's life;
    // MarkIdle / MarkBusy say whether it waits for a request (and may be
    // closed to make room).
    void Unregister(Connection* connection);
    void MarkIdle(const std::shared_ptr<Connection>& connection);
    void MarkBusy(Connection* connection);
    std::vector<std::shared_ptr<Connection>> Snapshot();

    // On the acceptor's strand.
    void Accept();
    void OnAccept(const boost::system::error_code& ec, tcp::socket socket);

    // Counted events (see HttpCounters).
    struct Counts {
        std::atomic<uint64_t> accepted{0}, requests{0}, idleClosed{0}, evicted{0}, timedOut{0},
            malformed{0}, oversized{0}, sendStalled{0}, acceptPauses{0}, acceptErrors{0};
    };

    ConnectionLimits limits;
    size_t maxConnections = 0;
    std::vector<Route> routes;
    std::function<void(const OversizedRequest&)> onOversized;
    std::atomic<bool> stopping{false};
    bool listening = false;
    bool stopped = false;
    Counts counts;

    // Guarded by `mutex`.
    std::mutex mutex;
    std::condition_variable allClosed;
    std::unordered_map<Connection*, std::weak_ptr<Connection>> all;
    std::list<std::weak_ptr<Connection>> idle; // oldest first
    bool acceptPaused = false;

    // Declared after what connections touch as they end, so that it goes
    // first: the I/O objects, then the context whose pending work holds the
    // last connections.
    net::io_context io;
    std::optional<net::executor_work_guard<net::io_context::executor_type>> work;
    net::strand<net::io_context::executor_type> acceptStrand;
    tcp::acceptor acceptor;
    net::steady_timer acceptRetry;
    std::vector<std::thread> ioThreads;
    WorkerPool pool;
};

class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(HttpServer::Core& core, tcp::socket socket);
    ~Connection();

    // Each of these may be called from any thread; the work runs on the
    // connection's strand.
    void Start();
    void CloseIfIdle(); // to make room at the cap
    void BeginStop();   // the server stops: close unless a request is in hand
    void ForceClose();

    // Guarded by Core::mutex: where the connection sits in Core::idle.
    std::list<std::weak_ptr<Connection>>::iterator idleEntry;
    bool inIdleList = false;

private:
    enum class Phase { Idle, Header, Body, Handling, Sending, Draining, Closed };
    using Clock = std::chrono::steady_clock;

    void BeginRequest(bool fresh);
    void Read();
    void OnRead(const boost::system::error_code& ec, size_t bytes);
    void Parse();
    // Checks the header bytes not seen yet; true when a line ends with a
    // bare line feed.
    bool ScanHeader();
    void EnterBody();
    void Dispatch();
    void Answer(const HttpRequest& request, const HttpServer::Core::Route* route);
    void Send(const HttpResponse& response, bool head);
    void SendBytes();
    void SendFile();
    void OnSent();
    void Refuse(int status, const std::string& text);
    void RefuseOversized();
    void Drain();
    void Close();
    void Arm(Clock::time_point when, void (Connection::*then)());
    void ArmDeadline(std::chrono::milliseconds limit) {
        Arm(Clock::now() + limit, &Connection::OnDeadline);
    }
    void Disarm();
    void OnDeadline();

    HttpServer::Core& m_core;
    tcp::socket m_socket;
    net::steady_timer m_timer;
    uint64_t m_timerGeneration = 0;
    boost::beast::flat_buffer m_buffer;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> m_parser;
    // What the header scan has seen of this request.
    struct HeaderScan {
        size_t bytes = 0;            // header bytes seen
        size_t lines = 0;            // complete lines
        size_t lineLength = 0;       // characters of the current line
        size_t requestLineBytes = 0; // through the request line's end; 0: not ended
        bool afterCR = false;
        bool ended = false; // the empty line that ends the header was seen
    };
    HeaderScan m_scan;
    size_t m_scanned = 0; // buffer bytes scanned (the buffer's front is consumed)
    std::string m_head;   // the request's first bytes
    Phase m_phase = Phase::Idle;
    bool m_fresh = true; // no request yet: the header deadline runs from the accept
    bool m_keepAlive = false;
    bool m_http10 = false;
    size_t m_requests = 0;
    std::string m_out; // the answer's head (and body, when in memory)
    size_t m_outSent = 0;
    std::shared_ptr<FileBody> m_file;
    uint64_t m_fileSent = 0;
    Clock::time_point m_fileStarted;
    size_t m_drained = 0;
    std::string m_remoteAddr;
    int m_remotePort = 0;
    std::string m_localAddr;
    int m_localPort = 0;
};

} // namespace distd
