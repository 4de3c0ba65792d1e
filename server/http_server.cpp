// The HTTP server: routes, the listener with its connection cap, the handler
// pool, and the stop.
#include "server/http_server.h"

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <boost/asio/post.hpp>

#include "server/http_connection.h"
#include "server/text_util.h"

namespace distd {

using boost::system::error_code;

namespace {

// Descriptors kept for everything but connections (the store, package
// files being sent, logs).
constexpr rlim_t kSpareDescriptors = 256;

// Raises the soft descriptor limit to the hard one; the number of
// connections that then fit.
size_t ConnectionsThatFit(size_t wanted) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return wanted;
    }
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? 1048576 : limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    if (limit.rlim_cur == RLIM_INFINITY) {
        return wanted;
    }
    const rlim_t usable = limit.rlim_cur > 2 * kSpareDescriptors
                              ? limit.rlim_cur - kSpareDescriptors
                              : limit.rlim_cur / 2;
    return std::max<size_t>(1, std::min<size_t>(wanted, static_cast<size_t>(usable)));
}

} // namespace

bool MatchPathPattern(const std::string& pattern, const std::string& path,
                      std::vector<std::string>& matches) {
    matches.clear();
    size_t p = 0;
    size_t at = 0;
    while (p < pattern.size()) {
        if (pattern.compare(p, 2, "{}") == 0) {
            const size_t end = std::min(path.find('/', at), path.size());
            if (end == at) {
                return false; // an empty segment
            }
            std::string decoded;
            if (!PercentDecode(path.substr(at, end - at), decoded) ||
                decoded.find_first_of(std::string("/\0", 2)) != std::string::npos) {
                return false;
            }
            matches.push_back(std::move(decoded));
            at = end;
            p += 2;
            continue;
        }
        if (at >= path.size() || path[at] != pattern[p]) {
            return false;
        }
        ++at;
        ++p;
    }
    return at == path.size();
}

// ---- the handler pool

void WorkerPool::Start(size_t threads) {
    for (size_t i = 0; i < std::max<size_t>(threads, 1); ++i) {
        m_threads.emplace_back([this] {
            for (;;) {
                std::function<void()> job;
                {
                    std::unique_lock<std::mutex> lock(m_mutex);
                    m_work.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
                    if (m_jobs.empty()) {
                        return; // stopping with nothing left
                    }
                    job = std::move(m_jobs.front());
                    m_jobs.pop_front();
                }
                job();
            }
        });
    }
}

void WorkerPool::Post(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_work.notify_one();
}

void WorkerPool::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_work.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
    m_threads.clear();
    // Jobs posted with no thread left to run them (after the stop) are
    // dropped; their connections are closed by then.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.clear();
}

// ---- the shared core

HttpServer::Core::Core(const ConnectionLimits& l)
    : limits(l), acceptStrand(net::make_strand(io)), acceptor(acceptStrand),
      acceptRetry(acceptStrand) {}

const HttpServer::Core::Route* HttpServer::Core::Find(const std::string& path,
                                                      std::vector<std::string>& matches) const {
    for (const Route& route : routes) {
        if (route.match(path, matches)) {
            return &route;
        }
    }
    matches.clear();
    return nullptr;
}

void HttpServer::Core::Unregister(Connection* connection) {
    bool resume = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (connection->inIdleList) {
            idle.erase(connection->idleEntry);
            connection->inIdleList = false;
        }
        all.erase(connection);
        if (acceptPaused && all.size() < maxConnections && !stopping) {
            acceptPaused = false;
            resume = true;
        }
        if (all.empty()) {
            allClosed.notify_all();
        }
    }
    if (resume) {
        net::post(acceptStrand, [this] { Accept(); });
    }
}

void HttpServer::Core::MarkIdle(const std::shared_ptr<Connection>& connection) {
    bool resume = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!connection->inIdleList) {
            connection->idleEntry = idle.insert(idle.end(), connection);
            connection->inIdleList = true;
        }
        // Accepting paused at the cap with nothing to make room; now there
        // is a connection to close for the next one.
        if (acceptPaused && !stopping) {
            acceptPaused = false;
            resume = true;
        }
    }
    if (resume) {
        net::post(acceptStrand, [this] { Accept(); });
    }
}

void HttpServer::Core::MarkBusy(Connection* connection) {
    std::lock_guard<std::mutex> lock(mutex);
    if (connection->inIdleList) {
        idle.erase(connection->idleEntry);
        connection->inIdleList = false;
    }
}

std::vector<std::shared_ptr<Connection>> HttpServer::Core::Snapshot() {
    std::vector<std::shared_ptr<Connection>> list;
    std::lock_guard<std::mutex> lock(mutex);
    for (auto& entry : all) {
        if (auto connection = entry.second.lock()) {
            list.push_back(std::move(connection));
        }
    }
    return list;
}

void HttpServer::Core::Accept() {
    if (stopping || !acceptor.is_open()) {
        return;
    }
    acceptor.async_accept(net::make_strand(io), [this](const error_code& ec, tcp::socket socket) {
        OnAccept(ec, std::move(socket));
    });
}

void HttpServer::Core::OnAccept(const error_code& ec, tcp::socket socket) {
    if (stopping || ec == net::error::operation_aborted) {
        return;
    }
    if (ec) {
        // Out of descriptors or memory for a moment: try again shortly
        // rather than spinning.
        ++counts.acceptErrors;
        acceptRetry.expires_after(std::chrono::milliseconds(100));
        acceptRetry.async_wait([this](const error_code& waited) {
            if (!waited) {
                Accept();
            }
        });
        return;
    }
    ++counts.accepted;
    auto connection = std::make_shared<Connection>(*this, std::move(socket));
    std::shared_ptr<Connection> evict;
    bool pause = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        all.emplace(connection.get(), connection);
        // At the cap the connection idle the longest makes room.
        for (auto it = idle.begin(); all.size() > maxConnections && !evict && it != idle.end();) {
            if (auto oldest = it->lock()) {
                oldest->inIdleList = false;
                it = idle.erase(it);
                evict = std::move(oldest);
            } else {
                ++it; // ending already; it leaves the list itself
            }
        }
        if (all.size() >= maxConnections && idle.empty()) {
            acceptPaused = true;
            pause = true;
            ++counts.acceptPauses;
        }
    }
    if (evict) {
        evict->CloseIfIdle();
    }
    connection->Start();
    if (!pause) {
        Accept();
    }
}

// ---- the server

HttpServer::HttpServer(const ConnectionLimits& limits) : m_core(std::make_shared<Core>(limits)) {}

HttpServer::~HttpServer() {
    Stop();
}

void HttpServer::Get(const std::string& pattern, Handler handler, Run run) {
    Core::Route route;
    route.match = [pattern](const std::string& path, std::vector<std::string>& matches) {
        return MatchPathPattern(pattern, path, matches);
    };
    route.handler = std::move(handler);
    route.run = run;
    m_core->routes.push_back(std::move(route));
}

void HttpServer::Get(std::function<bool(const std::string& path)> matches, Handler handler,
                     Run run) {
    Core::Route route;
    route.match = [matches](const std::string& path, std::vector<std::string>& found) {
        found.clear();
        return matches(path);
    };
    route.handler = std::move(handler);
    route.run = run;
    m_core->routes.push_back(std::move(route));
}

void HttpServer::SetOversizedHandler(std::function<void(const OversizedRequest&)> handler) {
    m_core->onOversized = std::move(handler);
}

bool HttpServer::Bind(const std::string& host, int port, std::string& error) {
    Core& core = *m_core;
    error_code ec;
    tcp::resolver resolver(core.io);
    const auto endpoints = resolver.resolve(
        host, std::to_string(port), tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    if (ec || endpoints.empty()) {
        error = "cannot listen on " + host + ":" + std::to_string(port) + ": " +
                (ec ? ec.message() : "no address");
        return false;
    }
    std::string why;
    for (const auto& entry : endpoints) {
        error_code step;
        core.acceptor.open(entry.endpoint().protocol(), step);
        if (!step) {
            core.acceptor.set_option(tcp::acceptor::reuse_address(true), step);
        }
        if (!step) {
            core.acceptor.bind(entry.endpoint(), step);
        }
        if (!step) {
            core.acceptor.listen(net::socket_base::max_listen_connections, step);
        }
        if (!step) {
            why.clear();
            break;
        }
        why = step.message();
        error_code ignored;
        core.acceptor.close(ignored);
    }
    if (!core.acceptor.is_open()) {
        error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + why;
        return false;
    }
    return true;
}

void HttpServer::Start() {
    Core& core = *m_core;
    if (!core.acceptor.is_open() || core.listening || core.stopped) {
        return;
    }
    core.maxConnections = ConnectionsThatFit(core.limits.maxConnections);
    core.listening = true;
    core.work.emplace(core.io.get_executor());
    core.pool.Start(core.limits.workers);
    for (size_t i = 0; i < std::max<size_t>(core.limits.ioThreads, 1); ++i) {
        core.ioThreads.emplace_back([&core] {
            // sendfile(2) cannot be told not to raise SIGPIPE on a connection
            // the client has closed; blocked here, it fails with EPIPE
            // instead of ending the process that embeds the server.
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
            core.io.run();
        });
    }
    net::post(core.acceptStrand, [&core] { core.Accept(); });
}

int HttpServer::Port() const {
    error_code ec;
    const tcp::endpoint local = m_core->acceptor.local_endpoint(ec);
    return ec ? 0 : local.port();
}

void HttpServer::Stop() {
    Core& core = *m_core;
    if (core.stopped) {
        return;
    }
    core.stopped = true;
    core.stopping = true;
    if (!core.listening) {
        core.pool.Stop();
        return;
    }
    net::post(core.acceptStrand, [&core] {
        error_code ec;
        core.acceptor.close(ec);
        core.acceptRetry.cancel();
    });
    for (const auto& connection : core.Snapshot()) {
        connection->BeginStop();
    }
    {
        std::unique_lock<std::mutex> lock(core.mutex);
        core.allClosed.wait_for(lock, core.limits.stopGrace, [&core] { return core.all.empty(); });
    }
    for (const auto& connection : core.Snapshot()) {
        connection->ForceClose();
    }
    // Handlers still running finish; their answers find the connection
    // closed.
    core.pool.Stop();
    core.work.reset();
    for (std::thread& thread : core.ioThreads) {
        thread.join();
    }
    core.ioThreads.clear();
}

HttpCounters HttpServer::GetCounters() const {
    const Core& core = *m_core;
    HttpCounters counters;
    counters.accepted = core.counts.accepted;
    counters.requests = core.counts.requests;
    counters.idleClosed = core.counts.idleClosed;
    counters.evicted = core.counts.evicted;
    counters.timedOut = core.counts.timedOut;
    counters.malformed = core.counts.malformed;
    counters.oversized = core.counts.oversized;
    counters.sendStalled = core.counts.sendStalled;
    counters.acceptPauses = core.counts.acceptPauses;
    counters.acceptErrors = core.counts.acceptErrors;
    counters.maxConnections = core.maxConnections;
    std::lock_guard<std::mutex> lock(m_core->mutex);
    counters.open = core.all.size();
    counters.idle = core.idle.size();
    return counters;
}

} // namespace distd
