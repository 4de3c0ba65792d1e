// The service's HTTP layer facing clients that do not play along: trickled
// headers, silent and kept-alive connections, bodies where none is expected,
// malformed and oversized requests, Range headers of every shape, HEAD.
// Every wait is bounded; the bounds are generous (the machine is loaded and
// the build sanitized) yet far below what a held-up layer takes.
#include <atomic>
#include <thread>
#include <vector>

#include "tests/server/distd_test_util.h"
#include "tests/server/raw_http.h"

using namespace distd_test;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

std::string Get(const std::string& target, const std::string& extraHeaders = "") {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders + "\r\n";
}

// How long a fresh client waits for the licence page; fails the test when it
// gets no good answer.
Clock::duration TimeLicencePage(RunningService& service) {
    httplib::Client client = service.Client();
    client.set_connection_timeout(10, 0);
    client.set_read_timeout(10, 0);
    const auto started = Clock::now();
    auto res = client.Get("/service/clause");
    const auto took = Clock::now() - started;
    EXPECT_TRUE(res && res->status == 200) << (res ? res->status : -1);
    return took;
}

// Sends one header byte a second on each connection (the gaps far below any
// per-read limit) until the server closes them all or `limit` passes.
// Returns the number the server closed.
size_t Trickle(std::vector<RawConnection>& connections, Clock::duration limit,
               std::atomic<bool>& stop) {
    const auto until = Clock::now() + limit;
    for (RawConnection& c : connections) {
        c.Send("GET /service/clause HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
    }
    size_t closed = 0;
    while (!stop && Clock::now() < until && closed < connections.size()) {
        closed = 0;
        for (RawConnection& c : connections) {
            c.Read(1ms, 1ms); // notices a close
            if (c.ClosedByPeer() || !c.Send("a")) {
                ++closed;
            }
        }
        std::this_thread::sleep_for(1s);
    }
    return closed;
}

} // namespace

TEST(HttpLayer, TricklingClientsNeitherHoldOthersUpNorStayForever) {
    CatalogueFolder folder;
    RunningService service(folder, [](distd::ServiceOptions& o) { o.limits.workers = 4; });
    ASSERT_TRUE(service.Started());
    std::vector<RawConnection> slow;
    for (int i = 0; i < 8; ++i) {
        slow.emplace_back(service->Port());
        ASSERT_TRUE(slow.back().Connected());
    }
    std::atomic<bool> stop{false};
    size_t closed = 0;
    const auto started = Clock::now();
    std::thread trickler([&] { closed = Trickle(slow, 25s, stop); });
    std::this_thread::sleep_for(1500ms);
    EXPECT_LT(TimeLicencePage(service), 5s);
    trickler.join();
    // The header deadline (10 s) ends every one of them, whatever its pace.
    EXPECT_EQ(closed, slow.size());
    EXPECT_LT(Clock::now() - started, 22s);
}

TEST(HttpLayer, SilentAndKeptAliveConnectionsDoNotShutOthersOut) {
    CatalogueFolder folder;
    RunningService service(folder, [](distd::ServiceOptions& o) { o.limits.workers = 4; });
    ASSERT_TRUE(service.Started());
    std::vector<RawConnection> silent;
    for (int i = 0; i < 300; ++i) {
        silent.emplace_back(service->Port());
        ASSERT_TRUE(silent.back().Connected());
    }
    // Eight kept-alive clients asking five times a second each.
    std::atomic<bool> stop{false};
    std::atomic<int> keptFailures{0};
    std::atomic<int> keptAnswers{0};
    std::vector<std::thread> kept;
    for (int i = 0; i < 8; ++i) {
        kept.emplace_back([&] {
            httplib::Client client = service.Client();
            client.set_keep_alive(true);
            for (int n = 0; n < 100 && !stop; ++n) {
                auto res = client.Get("/service/clause");
                (res && res->status == 200 ? keptAnswers : keptFailures)++;
                std::this_thread::sleep_for(200ms);
            }
        });
    }
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(TimeLicencePage(service), 5s);
    {
        httplib::Client client = service.Client();
        client.set_read_timeout(10, 0);
        const auto started = Clock::now();
        auto res = client.Get("/api/soft/pdf/type/install/sp/1.0/ver/1.1/channel/10001");
        EXPECT_LT(Clock::now() - started, 5s);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
    }
    stop = true;
    for (std::thread& t : kept) {
        t.join();
    }
    EXPECT_EQ(keptFailures.load(), 0);
    EXPECT_GT(keptAnswers.load(), 8);
}

TEST(HttpLayer, ABodyOnAGetIsNeverTakenForTheNextRequest) {
    CatalogueFolder folder;
    RunningService service(folder);
    ASSERT_TRUE(service.Started());
    const std::string hidden = Get(ReportTarget(LaunchDoc("10001", "1.1", Device(1))));
    const std::string hex = [&] {
        char text[16];
        std::snprintf(text, sizeof(text), "%zx", hidden.size());
        return std::string(text);
    }();
    const std::string framings[] = {
        Get("/service/clause", "Content-Length: " + std::to_string(hidden.size()) + "\r\n") +
            hidden,
        Get("/service/clause", "Transfer-Encoding: chunked\r\n") + hex + "\r\n" + hidden +
            "\r\n0\r\n\r\n",
    };
    for (const std::string& request : framings) {
        RawConnection c(service->Port());
        ASSERT_TRUE(c.Send(request));
        std::string got = c.Read(1500ms, 10s);
        // Whether or not the connection stays, it answers one request only;
        // when it stays it is still in step with the client.
        EXPECT_EQ(CountAnswers(got), 1) << got.substr(0, 300);
        EXPECT_EQ(FirstStatus(got), 200);
        if (!c.ClosedByPeer()) {
            ASSERT_TRUE(c.Send(Get("/service/clause")));
            got += c.Read(1500ms, 10s);
            EXPECT_EQ(CountAnswers(got), 2);
        }
    }
    // Both framings at once are ambiguous: refused, and the connection ends.
    {
        RawConnection c(service->Port());
        ASSERT_TRUE(c.Send(Get("/service/clause", "Content-Length: 5\r\nTransfer-Encoding: "
                                                  "chunked\r\n") +
                           hex + "\r\n" + hidden + "\r\n0\r\n\r\n"));
        const std::string got = c.ReadToClose(10s);
        EXPECT_EQ(CountAnswers(got), 1) << got.substr(0, 300);
        EXPECT_EQ(FirstStatus(got), 400);
        EXPECT_TRUE(c.ClosedByPeer());
    }
    const distd::Figures figures = ReadFigures(service->Store());
    EXPECT_EQ(figures.reports, 0);
    EXPECT_EQ(figures.rejected, 0);
}

TEST(HttpLayer, AMalformedRequestGetsOneAnswerAndTheConnectionCloses) {
    CatalogueFolder folder;
    RunningService service(folder);
    ASSERT_TRUE(service.Started());
    struct Case {
        std::string bytes;
        int status;
    };
    const std::string next = Get("/service/clause");
    const Case cases[] = {
        // Bare line feeds, then two more requests in the same form.
        {"GET /service/clause HTTP/1.1\nHost: a\n\nGET /service/clause HTTP/1.1\nHost: "
         "a\n\nGET / HTTP/1.1\n\n",
         400},
        {"NOT HTTP AT ALL\r\n\r\n" + next, 400},
        {"GET /service/clause HTTP/1.1\r\nHost: a\r\nNo colon here\r\n\r\n" + next, 400},
        {"GET /service/clause HTTP/1.1\r\nHost: a\r\nContent-Length: 12x\r\n\r\n" + next, 400},
        // Headers over 64 KiB, then a request that must not be answered.
        {"GET /service/clause HTTP/1.1\r\nHost: a\r\nX-Big: " + std::string(70000, 'a') +
             "\r\n\r\n" + next,
         431},
        {"GET /tj.html?value=51_" + std::string(70000, 'A') + " HTTP/1.1\r\n\r\n" + next, 414},
    };
    for (const Case& c : cases) {
        RawConnection raw(service->Port());
        ASSERT_TRUE(raw.Connected());
        raw.Send(c.bytes);
        const std::string got = raw.ReadToClose(8s);
        EXPECT_EQ(CountAnswers(got), 1) << c.bytes.substr(0, 60) << "\n" << got.substr(0, 400);
        EXPECT_EQ(FirstStatus(got), c.status) << c.bytes.substr(0, 60);
        EXPECT_TRUE(raw.ClosedByPeer()) << c.bytes.substr(0, 60);
    }
    // The service goes on answering.
    EXPECT_LT(TimeLicencePage(service), 5s);
}

TEST(HttpLayer, RangeIsDecidedByTheRouteThatAnswers) {
    CatalogueFolder folder;
    RunningService service(folder);
    ASSERT_TRUE(service.Started());
    httplib::Client client = service.Client();
    const std::string setup = CatalogueFolder::Bytes(200000, 7);

    // Routes without ranges ignore the header, whatever it says.
    auto report = client.Get(ReportTarget(LaunchDoc("10001", "1.1", Device(7))).c_str(),
                             {{"Range", "items=0-1"}});
    ASSERT_TRUE(report);
    EXPECT_EQ(report->status, 200);
    EXPECT_EQ(ReadFigures(service->Store()).reports, 1);
    for (const char* range : {"bytes=0-1", "bytes=5-3", "pages=1"}) {
        auto page = client.Get("/service/clause", {{"Range", range}});
        ASSERT_TRUE(page);
        EXPECT_EQ(page->status, 200) << range;
        EXPECT_GT(page->body.size(), 100u) << range;
    }

    struct Case {
        const char* range;
        int status;
        std::string body;
        const char* contentRange;
    };
    const Case cases[] = {
        {"bytes=5-3", 200, setup, ""},                              // invalid: ignored
        {"items=0-1", 200, setup, ""},                              // another unit: ignored
        {"bytes=x", 200, setup, ""},                                // unparsable: ignored
        {"Bytes=2-4", 206, setup.substr(2, 3), "bytes 2-4/200000"}, // the unit ignores case
        {"bytes=0-99999999999999999999", 206, setup, "bytes 0-199999/200000"},
        {"bytes=-99999999999999999999", 206, setup, "bytes 0-199999/200000"},
        {"bytes=99999999999999999999-", 416, "", "bytes */200000"},
        {"bytes=199999-199999", 206, setup.substr(199999), "bytes 199999-199999/200000"},
    };
    for (const Case& c : cases) {
        auto res = client.Get("/download/setup.exe", {{"Range", c.range}});
        ASSERT_TRUE(res) << c.range;
        EXPECT_EQ(res->status, c.status) << c.range;
        if (c.status != 416) {
            EXPECT_TRUE(res->body == c.body) << c.range << ": " << res->body.size() << " bytes";
        }
        EXPECT_EQ(res->get_header_value("Content-Range"), c.contentRange) << c.range;
    }
}

TEST(HttpLayer, HeadAnswersLikeGetWithoutBodyOrSideEffects) {
    CatalogueFolder folder;
    RunningService service(folder);
    ASSERT_TRUE(service.Started());
    const std::string target = ReportTarget(LaunchDoc("10001", "1.1", Device(3)));
    for (const std::string& path : {target, std::string("/tj.html?value=51_%%%")}) {
        RawConnection raw(service->Port());
        raw.Send("HEAD " + path + " HTTP/1.1\r\nHost: a\r\n\r\n");
        const std::string got = raw.Read(1s, 10s);
        EXPECT_EQ(CountAnswers(got), 1) << got;
        EXPECT_EQ(FirstStatus(got), 200) << got;
        EXPECT_EQ(got.find("\r\n\r\n") + 4, got.size()) << "a body came: " << got;
    }
    // The licence page: the length the GET would send, no body.
    {
        auto page = service.Client().Get("/service/clause");
        ASSERT_TRUE(page);
        RawConnection raw(service->Port());
        raw.Send("HEAD /service/clause HTTP/1.1\r\nHost: a\r\n\r\n");
        const std::string got = raw.Read(1s, 10s);
        EXPECT_EQ(FirstStatus(got), 200);
        EXPECT_NE(got.find("Content-Length: " + std::to_string(page->body.size()) + "\r\n"),
                  std::string::npos)
            << got;
        EXPECT_EQ(got.find("\r\n\r\n") + 4, got.size()) << got;
    }
    const distd::Figures figures = ReadFigures(service->Store());
    EXPECT_EQ(figures.reports, 0);
    EXPECT_EQ(figures.rejected, 0);
}

TEST(HttpLayer, PipelinedRequestsAreAnsweredInOrderAndHttp10Closes) {
    CatalogueFolder folder;
    RunningService service(folder);
    ASSERT_TRUE(service.Started());
    RawConnection raw(service->Port());
    raw.Send(Get("/service/clause") +
             Get("/api/soft/pdf/type/install/sp/1.0/ver/1.1/channel/10001") + Get("/no/such/page") +
             "POST /service/clause HTTP/1.1\r\nHost: a\r\n" + "Content-Length: 4\r\n\r\nbody" +
             Get("/download/old.exe"));
    const std::string got = raw.Read(1500ms, 10s);
    ASSERT_EQ(CountAnswers(got), 5) << got.substr(0, 400);
    std::vector<int> statuses;
    for (size_t at = got.find("HTTP/1.1 "); at != std::string::npos;
         at = got.find("HTTP/1.1 ", at + 1)) {
        statuses.push_back(std::atoi(got.substr(at + 9, 3).c_str()));
    }
    EXPECT_EQ(statuses, (std::vector<int>{200, 200, 404, 405, 200}));
    EXPECT_NE(got.find("Allow: GET, HEAD\r\n"), std::string::npos);
    EXPECT_EQ(got.substr(got.size() - 12), "old package\n");
    EXPECT_FALSE(raw.ClosedByPeer());

    // HTTP/1.0 without keep-alive: one answer, then the close.
    RawConnection old(service->Port());
    old.Send("GET /service/clause HTTP/1.0\r\n\r\n");
    const std::string once = old.ReadToClose(10s);
    EXPECT_EQ(FirstStatus(once), 200);
    EXPECT_NE(once.find("Connection: close\r\n"), std::string::npos);
    EXPECT_TRUE(old.ClosedByPeer());
}

TEST(HttpLayer, IdleConnectionsCloseAfterTheirTimeoutAndAtTheCapOldestFirst) {
    CatalogueFolder folder;
    RunningService service(folder, [](distd::ServiceOptions& o) {
        o.limits.idleTimeout = 1s;
        o.limits.headerTimeout = 2s;
        o.limits.maxConnections = 12;
    });
    ASSERT_TRUE(service.Started());

    // A kept-alive connection past its idle time.
    {
        RawConnection kept(service->Port());
        kept.Send(Get("/service/clause"));
        EXPECT_EQ(FirstStatus(kept.Read(500ms, 10s)), 200);
        kept.ReadToClose(10s);
        EXPECT_TRUE(kept.ClosedByPeer());
    }
    EXPECT_GE(service->Connections().idleClosed, 1u);

    // Twelve silent connections fill the cap; a new client gets in and the
    // oldest silent one makes room.
    std::vector<RawConnection> silent;
    for (int i = 0; i < 12; ++i) {
        silent.emplace_back(service->Port());
        std::this_thread::sleep_for(20ms); // an order of age
    }
    EXPECT_LT(TimeLicencePage(service), 5s);
    silent.front().Read(200ms, 2s);
    EXPECT_TRUE(silent.front().ClosedByPeer());
    EXPECT_GE(service->Connections().evicted, 1u);
    silent.clear();

    // Every connection busy sending its headers: accepting pauses, and the
    // newcomer waits in the listen queue until the header deadline frees a
    // place.
    std::vector<RawConnection> busy;
    for (int i = 0; i < 14; ++i) {
        busy.emplace_back(service->Port());
        busy.back().Send("GET /service/clause HTTP/1.1\r\nX-Slow: ");
    }
    std::this_thread::sleep_for(300ms);
    const auto waited = TimeLicencePage(service);
    EXPECT_LT(waited, 8s);
    EXPECT_EQ(service->Connections().maxConnections, 12u);
}

// A stop does not wait for a long answer beyond its grace: the paced
// download is cut, the stop returns.
TEST(HttpLayer, StopCutsAnswersThatOutlastTheGrace) {
    CatalogueFolder folder;
    RunningService service(folder, [](distd::ServiceOptions& o) {
        o.downloadRate = 16 * 1024; // 200000 bytes: some 12 s
        o.limits.stopGrace = 1s;
    });
    ASSERT_TRUE(service.Started());
    RawConnection raw(service->Port());
    raw.Send(Get("/download/setup.exe"));
    EXPECT_EQ(FirstStatus(raw.Read(500ms, 10s)), 200);
    const auto started = Clock::now();
    service->Stop();
    EXPECT_LT(Clock::now() - started, 6s);
    raw.ReadToClose(5s);
    EXPECT_TRUE(raw.ClosedByPeer());
}

TEST(HttpRoutes, PatternsMatchWholeDecodedSegments) {
    std::vector<std::string> m;
    EXPECT_TRUE(distd::MatchPathPattern("/download/{}", "/download/a%20b.exe", m));
    EXPECT_EQ(m, (std::vector<std::string>{"a b.exe"}));
    EXPECT_TRUE(distd::MatchPathPattern("/v/{}/c/{}", "/v/1.0/c/x", m));
    EXPECT_EQ(m, (std::vector<std::string>{"1.0", "x"}));
    EXPECT_TRUE(distd::MatchPathPattern("/", "/", m));
    for (const char* path : {"/download/", "/download/a/b", "/download/..%2Fx", "/download/a%00",
                             "/download/%zz", "/downloads/a", "/download"}) {
        EXPECT_FALSE(distd::MatchPathPattern("/download/{}", path, m)) << path;
    }
    EXPECT_FALSE(distd::MatchPathPattern("/", "//", m));
}

// A client that goes away in the middle of a download ends that answer only.
TEST(HttpLayer, AClientLeavingMidDownloadEndsOnlyItsOwnAnswer) {
    CatalogueFolder folder;
    RunningService service(folder, [](distd::ServiceOptions& o) { o.downloadRate = 64 * 1024; });
    ASSERT_TRUE(service.Started());
    for (int i = 0; i < 3; ++i) {
        RawConnection raw(service->Port());
        raw.Send(Get("/download/setup.exe"));
        EXPECT_EQ(FirstStatus(raw.Read(1s, 500ms)), 200); // some 30 KiB of 200000
        raw.Close();
    }
    std::this_thread::sleep_for(1s); // the paced sends meet the closed sockets
    EXPECT_LT(TimeLicencePage(service), 5s);
}

// The listen queue holds a burst of new connections (the kernel shows its
// length as the listening socket's send queue).
TEST(HttpLayer, ListensWithALongQueue) {
    CatalogueFolder folder;
    RunningService service(folder);
    ASSERT_TRUE(service.Started());
    int rc = -1;
    const std::string line =
        testutil::Run("ss -ltnH 'sport = :" + std::to_string(service->Port()) + "' 2>&1", rc);
    ASSERT_EQ(rc, 0) << line;
    std::istringstream fields(line);
    std::string state;
    long received = -1;
    long queue = -1;
    fields >> state >> received >> queue;
    EXPECT_GE(queue, 1024) << line;
}
