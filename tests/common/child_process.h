// A program started by a test as its own process: its environment changed
// by a few variables, its output in files, every wait bounded, and killed
// (and reaped) when the test lets go of it.
#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace testutil {

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

} // namespace testutil
