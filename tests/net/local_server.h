// A real HTTP server on 127.0.0.1 for tests: cpp-httplib on a free port,
// listening on its own thread from construction to destruction. Tests add
// their handlers through server() before calling Start().
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include <httplib.h>

namespace tarvex_test {

class LocalServer {
public:
    LocalServer() = default;
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;
    ~LocalServer() { Stop(); }

    httplib::Server& server() { return m_server; }

    // Binds a free loopback port and starts listening; false when binding
    // failed or the server did not come up within 5 seconds.
    bool Start() {
        m_server.set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
            ++m_requests;
            return httplib::Server::HandlerResponse::Unhandled;
        });
        // One request per connection: a kept-alive connection would hold
        // Stop() for the server's whole keep-alive time-out.
        m_server.set_keep_alive_max_count(1);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        if (m_port <= 0) {
            return false;
        }
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        for (int i = 0; i < 500 && !m_server.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return m_server.is_running();
    }

    void Stop() {
        ReleaseWaiters();
        if (m_thread.joinable()) {
            m_server.stop();
            m_thread.join();
        }
    }

    int port() const { return m_port; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    std::wstring WideUrl(const std::string& path) const {
        const std::string url = Url(path);
        return std::wstring(url.begin(), url.end());
    }
    // Requests that reached the server (any path).
    int requests() const { return m_requests.load(); }

    // For handlers that must stay silent: blocks the calling handler until
    // ReleaseWaiters() or `limit` has passed, whichever comes first.
    void WaitForRelease(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait_for(lock, limit, [this] { return m_released; });
    }
    void ReleaseWaiters() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_released = true;
        }
        m_cv.notify_all();
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<int> m_requests{0};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_released = false;
};

} // namespace tarvex_test
