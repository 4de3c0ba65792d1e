// A real HTTP server on 127.0.0.1 that records the raw request target of
// every request it receives and answers with a chosen status. It can also
// hold requests (to play a silent server) and stretch each answer, while
// counting how many requests were being answered at the same time.
#pragma once

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class RecordingServer {
public:
    RecordingServer() {
        m_server.set_pre_routing_handler(
            [this](const httplib::Request& req, httplib::Response& res) {
                Handle(req, res);
                return httplib::Server::HandlerResponse::Handled;
            });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        // Bound and listening already: connections wait in the backlog until
        // the thread accepts them.
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        // A stop before the accept loop runs would be missed: wait (bounded)
        // until it runs.
        for (int i = 0; i < 1000 && !m_server.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    ~RecordingServer() {
        Release();
        m_server.stop();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    RecordingServer(const RecordingServer&) = delete;
    RecordingServer& operator=(const RecordingServer&) = delete;

    int Port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by the suffix.
    std::wstring BaseUrl(const std::wstring& suffix = L"") const {
        return L"http://127.0.0.1:" + std::to_wstring(m_port) + suffix;
    }

    void SetStatus(int status) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_status = status;
    }
    // Every answer waits this long before it is sent.
    void SetDelay(std::chrono::milliseconds delay) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_delay = delay;
    }
    // Requests are held unanswered (at most 15 seconds) until Release.
    void Hold() {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_hold = true;
    }
    void Release() {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_hold = false;
        m_changed.notify_all();
    }

    // Waits (bounded) until at least n requests have arrived.
    bool WaitForRequests(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> guard(m_mutex);
        return m_changed.wait_for(guard, timeout, [&] { return m_targets.size() >= n; });
    }

    std::vector<std::string> Targets() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_targets;
    }
    size_t Count() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_targets.size();
    }
    // The highest number of requests that were being answered at once.
    int MaxConcurrent() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_maxActive;
    }

private:
    void Handle(const httplib::Request& req, httplib::Response& res) {
        std::unique_lock<std::mutex> guard(m_mutex);
        m_targets.push_back(req.target);
        ++m_active;
        m_maxActive = std::max(m_maxActive, m_active);
        m_changed.notify_all();
        m_changed.wait_for(guard, std::chrono::seconds(15), [this] { return !m_hold; });
        std::chrono::milliseconds delay = m_delay;
        int status = m_status;
        guard.unlock();
        if (delay.count() > 0) {
            std::this_thread::sleep_for(delay);
        }
        guard.lock();
        --m_active;
        guard.unlock();
        res.status = status;
        res.set_content("ok", "text/plain");
    }

    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_targets;
    int m_status = 200;
    std::chrono::milliseconds m_delay{0};
    bool m_hold = false;
    int m_active = 0;
    int m_maxActive = 0;
};
