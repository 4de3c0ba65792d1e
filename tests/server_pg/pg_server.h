// A throwaway PostgreSQL server for the tests: initdb into a temporary
// folder, the postmaster on a free loopback port with its socket in that
// folder, run as an unprivileged user when the tests run as root. One server
// serves a whole test executable (SharedPgServer); each test takes a fresh
// database of its own. The postmaster is a direct child that gets SIGQUIT
// should the test process die, so no server outlives its tests.
#pragma once

#include <sys/types.h>

#include <string>

namespace pgtest {

class PgServer {
public:
    PgServer() = default;
    ~PgServer(); // Stop(), then removes the folder
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // Makes the cluster and starts it. False with a reason (initdb or the
    // server binaries missing, the server not coming up in time).
    bool Create(std::string& error);

    // Stops the server (fast shutdown: open connections are cut) and waits
    // for it to end; Start brings it back on the same port with the same
    // data. Call both from one thread that lives as long as the server.
    bool Stop();
    bool Start(std::string& error);
    bool Running() const { return m_pid > 0; }

    int Port() const { return m_port; }
    // A libpq URI for `database` over TCP on the loopback address.
    std::string Uri(const std::string& database) const;
    // Makes a new, empty database and returns its URI (empty on failure).
    std::string NewDatabase(std::string& error);
    // Runs one statement in `database`; false with the server's message.
    bool Exec(const std::string& database, const std::string& sql, std::string& error) const;
    // The first column of the first row of a query, as an integer (-1 when
    // it fails).
    long long Scalar(const std::string& database, const std::string& sql) const;

private:
    bool InitDb(std::string& error);
    bool WaitReady(std::string& error);

    std::string m_root; // temporary folder: data/, socket, log
    std::string m_bin;  // the server binaries' folder
    int m_port = 0;
    pid_t m_pid = -1;
    uid_t m_uid = 0; // who runs the server (root: an unprivileged user)
    gid_t m_gid = 0;
    int m_databases = 0;
};

// The server of this test executable, made on first use; null with a reason
// when it cannot be had.
PgServer* SharedPgServer(std::string& error);
// The same for a test: without a server the executable ends, as every test
// in it needs one.
PgServer& TestServer();

} // namespace pgtest
