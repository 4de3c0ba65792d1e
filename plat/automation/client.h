// A client of the automation socket (PROTOCOL.md beside this file) and a
// child process started with PLAT_AUTOMATION: what drives a real executable
// from outside, in end-to-end tests and in the demo's "user".
#pragma once

#include <chrono>
#include <csignal>
#include <cstring>
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
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
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

struct Process {
    pid_t pid = -1;
    ~Process() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    // Waits up to timeoutMs for the exit; the exit status or -1.
    int Wait(int timeoutMs) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            pid_t r = waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
};

// Starts `exe` with PLAT_AUTOMATION=socketPath (replacing any inherited
// value); false when it cannot be started.
inline bool StartWithAutomation(Process* proc, const std::string& exe,
                                const std::string& socketPath) {
    std::string env = "PLAT_AUTOMATION=" + socketPath;
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "PLAT_AUTOMATION=", 16) != 0)
            envp.push_back(*e);
    envp.push_back(env.data());
    envp.push_back(nullptr);
    std::string path = exe;
    char* argv[] = {path.data(), nullptr};
    return posix_spawn(&proc->pid, path.c_str(), nullptr, nullptr, argv, envp.data()) == 0;
}

} // namespace plat::automation
