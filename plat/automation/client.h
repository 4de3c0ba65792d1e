// A client of the automation socket (PROTOCOL.md beside this file) and a
// child process started with PLAT_AUTOMATION: what drives a real executable
// from outside, in end-to-end tests and in the demo's "user".
#pragma once

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace plat::automation {

class Client {
public:
    ~Client() {
        if (fd_ >= 0)
            close(fd_);
    }
    bool Connect(const std::string& path, int timeoutMs) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
            if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
                fd_ = fd;
                return true;
            }
            close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    // Sends one command and returns the reply's first line ("" on time-out).
    std::string Ask(const std::string& cmd, int timeoutMs = 10000) {
        std::string line = cmd + "\n";
        if (send(fd_, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size()))
            return "";
        return ReadLine(timeoutMs);
    }
    std::string ReadLine(int timeoutMs = 10000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto nl = buf_.find('\n');
            if (nl != std::string::npos) {
                std::string out = buf_.substr(0, nl);
                buf_.erase(0, nl + 1);
                return out;
            }
            int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            deadline - std::chrono::steady_clock::now())
                                            .count());
            if (left <= 0)
                return "";
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, left) <= 0)
                return "";
            char chunk[4096];
            ssize_t n = read(fd_, chunk, sizeof chunk);
            if (n <= 0)
                return "";
            buf_.append(chunk, static_cast<size_t>(n));
        }
    }

private:
    int fd_ = -1;
    std::string buf_;
};

// A program started as its own process: its environment changed by a few
// variables, its output in files, every wait bounded, and killed (and
// reaped) when the owner lets go of it.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { Kill(); }

    // Starts `exe` with `args`. The environment is the test's, less the
    // names in `unset`, with the NAME=VALUE entries of `set`. Standard
    // output and error go to the files named (kept as they are when empty).
    bool Start(const std::string& exe, const std::vector<std::string>& args,
               const std::vector<std::string>& set = {}, const std::vector<std::string>& unset = {},
               const std::string& outFile = "", const std::string& errFile = "") {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            std::string name = entry.substr(0, entry.find('='));
            bool drop = false;
            for (const std::string& u : unset)
                drop = drop || u == name;
            for (const std::string& s : set)
                drop = drop || s.substr(0, s.find('=')) == name;
            if (!drop)
                env.push_back(entry);
        }
        env.insert(env.end(), set.begin(), set.end());
        std::vector<char*> envp, argv;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> all{exe};
        all.insert(all.end(), args.begin(), args.end());
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        if (!outFile.empty())
            posix_spawn_file_actions_addopen(&fa, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0644);
        if (!errFile.empty())
            posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0644);
        int rc = posix_spawn(&m_pid, exe.c_str(), &fa, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&fa);
        if (rc != 0)
            m_pid = -1;
        return rc == 0;
    }

    // Waits at most timeoutMs for the exit: the exit code, or -1 when the
    // program is still running or was ended by a signal.
    int Wait(int timeoutMs) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_pid > 0) {
            int status = 0;
            pid_t r = waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_pid = -1;
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return m_status;
            }
            if (std::chrono::steady_clock::now() >= deadline)
                return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return m_status;
    }

    bool Running() { return m_pid > 0 && Wait(0) == -1 && m_pid > 0; }

    void Kill() {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

    // Asks the program to end (SIGTERM), then kills it after graceMs.
    void Stop(int graceMs = 2000) {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        if (Wait(graceMs) == -1)
            Kill();
    }

    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_status = -1;
};

} // namespace plat::automation
