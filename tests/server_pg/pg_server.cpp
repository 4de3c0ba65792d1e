// The throwaway PostgreSQL server of the tests.
#include "tests/server_pg/pg_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

namespace pgtest {

namespace {

std::string FindBinaries() {
    const std::string preferred = "/usr/lib/postgresql/15/bin";
    if (::access((preferred + "/postgres").c_str(), X_OK) == 0) {
        return preferred;
    }
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
        const std::string bin = entry.path().string() + "/bin";
        if (::access((bin + "/postgres").c_str(), X_OK) == 0) {
            return bin;
        }
    }
    return std::string();
}

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(addr);
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
        port = ntohs(addr.sin_port);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return port;
}

std::string Tail(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    return all.size() > 2000 ? all.substr(all.size() - 2000) : all;
}

// In a forked child: output to `log`, the given user, SIGQUIT when the
// parent dies, then the program. Never returns.
[[noreturn]] void ExecAs(const std::vector<std::string>& argv, const std::string& log, uid_t uid,
                         gid_t gid, pid_t parent) {
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (out >= 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::close(out);
    }
    const int in = ::open("/dev/null", O_RDONLY);
    if (in >= 0) {
        ::dup2(in, 0);
        ::close(in);
    }
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
        ::_exit(126);
    }
    // After the change of user, which clears it.
    ::prctl(PR_SET_PDEATHSIG, SIGQUIT);
    if (::getppid() != parent) {
        ::_exit(125);
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

} // namespace

PgServer::~PgServer() {
    Stop();
    if (!m_root.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
}

bool PgServer::Create(std::string& error) {
    m_bin = FindBinaries();
    if (m_bin.empty()) {
        error = "no PostgreSQL server binaries under /usr/lib/postgresql (scripts/deps installs "
                "them)";
        return false;
    }
    char pattern[] = "/tmp/distd_pg_XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        error = "cannot make a temporary folder";
        return false;
    }
    m_root = pattern;
    if (::geteuid() == 0) {
        // The server refuses to run as root.
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr) {
            error = "running as root and there is no user \"nobody\" to run the server as";
            return false;
        }
        m_uid = nobody->pw_uid;
        m_gid = nobody->pw_gid;
        if (::chown(m_root.c_str(), m_uid, m_gid) != 0) {
            error = "cannot hand " + m_root + " to the server's user";
            return false;
        }
    }
    if (!InitDb(error)) {
        return false;
    }
    m_port = FreePort();
    if (m_port == 0) {
        error = "no free port";
        return false;
    }
    return Start(error);
}

bool PgServer::InitDb(std::string& error) {
    const std::string log = m_root + "/initdb.log";
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ExecAs({m_bin + "/initdb", "-D", m_root + "/data", "-A", "trust", "-U", "distd", "-E",
                "UTF8", "--locale=C", "--no-sync"},
               log, m_uid, m_gid, parent);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        error = "initdb failed: " + Tail(log);
        return false;
    }
    return true;
}

bool PgServer::Start(std::string& error) {
    if (m_pid > 0) {
        return true;
    }
    const pid_t parent = ::getpid();
    const std::string log = m_root + "/server.log";
    m_pid = ::fork();
    if (m_pid == 0) {
        // Durability is not under test here; fsync off keeps the tests quick.
        ExecAs({m_bin + "/postgres", "-D", m_root + "/data", "-p", std::to_string(m_port), "-k",
                m_root, "-c", "listen_addresses=127.0.0.1", "-c", "fsync=off", "-c",
                "max_connections=40"},
               log, m_uid, m_gid, parent);
    }
    if (m_pid < 0) {
        error = "cannot fork the server";
        return false;
    }
    return WaitReady(error);
}

bool PgServer::WaitReady(std::string& error) {
    const std::string uri = Uri("postgres") + "?connect_timeout=2";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (PQping(uri.c_str()) == PQPING_OK) {
            return true;
        }
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            error = "the server ended at start: " + Tail(m_root + "/server.log");
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    error = "the server did not come up within 60 s: " + Tail(m_root + "/server.log");
    Stop();
    return false;
}

bool PgServer::Stop() {
    if (m_pid <= 0) {
        return true;
    }
    ::kill(m_pid, SIGINT); // fast shutdown
    int status = 0;
    const bool ended = ::waitpid(m_pid, &status, 0) == m_pid;
    m_pid = -1;
    return ended;
}

std::string PgServer::Uri(const std::string& database) const {
    return "postgresql://distd@127.0.0.1:" + std::to_string(m_port) + "/" + database;
}

std::string PgServer::NewDatabase(std::string& error) {
    const std::string name = "t" + std::to_string(++m_databases);
    if (!Exec("postgres", "CREATE DATABASE " + name, error)) {
        return std::string();
    }
    return Uri(name);
}

bool PgServer::Exec(const std::string& database, const std::string& sql, std::string& error) const {
    PGconn* conn = PQconnectdb(Uri(database).c_str());
    bool ok = PQstatus(conn) == CONNECTION_OK;
    if (ok) {
        PGresult* result = PQexec(conn, sql.c_str());
        const ExecStatusType status = PQresultStatus(result);
        ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
        PQclear(result);
    }
    if (!ok) {
        error = PQerrorMessage(conn);
    }
    PQfinish(conn);
    return ok;
}

long long PgServer::Scalar(const std::string& database, const std::string& sql) const {
    PGconn* conn = PQconnectdb(Uri(database).c_str());
    long long value = -1;
    if (PQstatus(conn) == CONNECTION_OK) {
        PGresult* result = PQexec(conn, sql.c_str());
        if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0 &&
            !PQgetisnull(result, 0, 0)) {
            value = std::atoll(PQgetvalue(result, 0, 0));
        }
        PQclear(result);
    }
    PQfinish(conn);
    return value;
}

PgServer* SharedPgServer(std::string& error) {
    static std::unique_ptr<PgServer> server;
    static std::string failure;
    static bool tried = false;
    if (!tried) {
        tried = true;
        server = std::make_unique<PgServer>();
        if (!server->Create(failure)) {
            server.reset();
        }
    }
    error = failure;
    return server.get();
}

PgServer& TestServer() {
    std::string error;
    PgServer* server = SharedPgServer(error);
    if (server == nullptr) {
        std::fprintf(stderr, "no PostgreSQL server for the tests: %s\n", error.c_str());
        std::abort();
    }
    return *server;
}

} // namespace pgtest
