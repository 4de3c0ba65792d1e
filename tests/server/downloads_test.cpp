// Package downloads over HTTP from the running service: lengths, ranges,
// validators, and every way of naming a file outside the catalogue.
#include "server/downloads.h"

#include <unistd.h>

#include <chrono>

#include "tests/server/distd_test_util.h"

using namespace distd_test;
using distd::RangeKind;

TEST(ByteRange, SingleRangesAndWhatIsIgnored) {
    uint64_t first = 0;
    uint64_t last = 0;
    EXPECT_EQ(distd::ParseByteRange("bytes=0-9", 100, first, last), RangeKind::Partial);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(last, 9u);
    EXPECT_EQ(distd::ParseByteRange("bytes=90-", 100, first, last), RangeKind::Partial);
    EXPECT_EQ(last, 99u);
    EXPECT_EQ(distd::ParseByteRange("bytes=95-500", 100, first, last), RangeKind::Partial);
    EXPECT_EQ(first, 95u);
    EXPECT_EQ(last, 99u); // clamped to the end
    EXPECT_EQ(distd::ParseByteRange("bytes=-10", 100, first, last), RangeKind::Partial);
    EXPECT_EQ(first, 90u);
    EXPECT_EQ(distd::ParseByteRange("bytes=-1000", 100, first, last), RangeKind::Partial);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(distd::ParseByteRange(" Bytes = 5 - 6 ", 100, first, last), RangeKind::Partial);
    EXPECT_EQ(distd::ParseByteRange("bytes=99999999999999999999999-", 100, first, last),
              RangeKind::Unsatisfiable);

    EXPECT_EQ(distd::ParseByteRange("bytes=100-", 100, first, last), RangeKind::Unsatisfiable);
    EXPECT_EQ(distd::ParseByteRange("bytes=-0", 100, first, last), RangeKind::Unsatisfiable);
    EXPECT_EQ(distd::ParseByteRange("bytes=0-", 0, first, last), RangeKind::Unsatisfiable);
    EXPECT_EQ(distd::ParseByteRange("bytes=-5", 0, first, last), RangeKind::Unsatisfiable);

    for (const char* ignored : {"", "bytes", "items=0-5", "bytes=5-1", "bytes=0-1,5-6", "bytes=a-b",
                                "bytes=-", "bytes=1-2-3", "bytes=+1-2", "bytes=0x10-"}) {
        EXPECT_EQ(distd::ParseByteRange(ignored, 100, first, last), RangeKind::Whole) << ignored;
    }
}

TEST(HttpDate, RoundTripsAndRefusesOtherForms) {
    EXPECT_EQ(distd::HttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    int64_t t = 0;
    ASSERT_TRUE(distd::ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT", t));
    EXPECT_EQ(t, 784111777);
    EXPECT_FALSE(distd::ParseHttpDate("Sunday, 06-Nov-94 08:49:37 GMT", t));
    EXPECT_FALSE(distd::ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT trailing", t));
    EXPECT_FALSE(distd::ParseHttpDate("", t));
}

class Downloads : public ::testing::Test {
protected:
    CatalogueFolder m_folder;
    RunningService m_service{m_folder};
    const std::string m_setup = CatalogueFolder::Bytes(200000, 7);
};

TEST_F(Downloads, WholeFileWithLengthAndValidators) {
    httplib::Client client = m_service.Client();
    auto res = client.Get("/download/setup.exe");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, m_setup);
    EXPECT_EQ(res->get_header_value("Content-Length"), "200000");
    EXPECT_EQ(res->get_header_value("Accept-Ranges"), "bytes");
    const std::string etag = res->get_header_value("ETag");
    const std::string modified = res->get_header_value("Last-Modified");
    EXPECT_EQ(etag.front(), '"');
    int64_t when = 0;
    EXPECT_TRUE(distd::ParseHttpDate(modified, when)) << modified;

    auto head = client.Head("/download/setup.exe");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_EQ(head->get_header_value("Content-Length"), "200000");
    EXPECT_TRUE(head->body.empty());

    auto same = client.Get("/download/setup.exe", {{"If-None-Match", "\"x\", " + etag}});
    ASSERT_TRUE(same);
    EXPECT_EQ(same->status, 304);
    EXPECT_TRUE(same->body.empty());
    auto unmodified = client.Get("/download/setup.exe", {{"If-Modified-Since", modified}});
    ASSERT_TRUE(unmodified);
    EXPECT_EQ(unmodified->status, 304);
    auto other = client.Get("/download/setup.exe", {{"If-None-Match", "\"other\""}});
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 200);

    // A rewritten package gets a new validator and its new bytes.
    testutil::WriteAll(m_folder / "packages/setup.exe", "new contents");
    auto changed = client.Get("/download/setup.exe", {{"If-None-Match", etag}});
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->status, 200);
    EXPECT_EQ(changed->body, "new contents");
    EXPECT_NE(changed->get_header_value("ETag"), etag);
}

TEST_F(Downloads, SingleRangesAndTheirLimits) {
    httplib::Client client = m_service.Client();
    auto part = client.Get("/download/setup.exe", {{"Range", "bytes=1000-1999"}});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->status, 206);
    EXPECT_EQ(part->body, m_setup.substr(1000, 1000));
    EXPECT_EQ(part->get_header_value("Content-Range"), "bytes 1000-1999/200000");
    EXPECT_EQ(part->get_header_value("Content-Length"), "1000");

    auto tail = client.Get("/download/setup.exe", {{"Range", "bytes=-7"}});
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->status, 206);
    EXPECT_EQ(tail->body, m_setup.substr(200000 - 7));

    auto past = client.Get("/download/setup.exe", {{"Range", "bytes=200000-"}});
    ASSERT_TRUE(past);
    EXPECT_EQ(past->status, 416);
    EXPECT_EQ(past->get_header_value("Content-Range"), "bytes */200000");

    // Several ranges: the whole file, as HTTP allows.
    auto several = client.Get("/download/setup.exe", {{"Range", "bytes=0-1,5-6"}});
    ASSERT_TRUE(several);
    EXPECT_EQ(several->status, 200);
    EXPECT_EQ(several->body.size(), 200000u);

    // If-Range with an old validator: the whole (current) file.
    auto stale =
        client.Get("/download/setup.exe", {{"Range", "bytes=0-9"}, {"If-Range", "\"old\""}});
    ASSERT_TRUE(stale);
    EXPECT_EQ(stale->status, 200);
    const std::string etag = stale->get_header_value("ETag");
    auto fresh = client.Get("/download/setup.exe", {{"Range", "bytes=0-9"}, {"If-Range", etag}});
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->status, 206);
    EXPECT_EQ(fresh->body, m_setup.substr(0, 10));

    // A resumed download: the rest after a cut.
    auto rest = client.Get("/download/setup.exe", {{"Range", "bytes=123456-"}});
    ASSERT_TRUE(rest);
    EXPECT_EQ(rest->status, 206);
    EXPECT_EQ(rest->body, m_setup.substr(123456));
}

TEST_F(Downloads, OnlyCataloguePackagesCanBeNamed) {
    ASSERT_EQ(::symlink((m_folder / "secret.txt").c_str(), (m_folder / "packages/escape").c_str()),
              0);
    // A package replaced by a link that leads out after the catalogue was
    // loaded.
    ASSERT_EQ(::unlink((m_folder / "packages/old.exe").c_str()), 0);
    ASSERT_EQ(::symlink((m_folder / "secret.txt").c_str(), (m_folder / "packages/old.exe").c_str()),
              0);
    const char* attempts[] = {
        "/download/unlisted.exe",
        "/download/old.exe",
        "/download/escape",
        "/download/../secret.txt",
        "/download/..%2Fsecret.txt",
        "/download/%2E%2E%2Fsecret.txt",
        "/download/%2e%2e/secret.txt",
        "/download/..%5Csecret.txt",
        "/download/packages%2F..%2F..%2Fsecret.txt",
        "/download/%252e%252e%252fsecret.txt",
        "/download/setup.exe%00.txt",
        "/download/./setup.exe/..",
        "/download//etc/passwd",
        "/download/%2Fetc%2Fpasswd",
        "/download/",
        "/download/..",
        "/packages/setup.exe",
        "/catalogue.json",
        "/secret.txt",
        "/../secret.txt",
    };
    // A raw socket, so that no client tidies the path first.
    for (const char* target : attempts) {
        httplib::Client client = m_service.Client();
        httplib::Request req;
        req.method = "GET";
        req.path = target;
        auto res = client.send(req);
        ASSERT_TRUE(res) << target;
        EXPECT_GE(res->status, 400) << target;
        EXPECT_EQ(res->body.find("secret"), std::string::npos) << target;
        EXPECT_EQ(res->body.find("not in the catalogue"), std::string::npos) << target;
        EXPECT_EQ(res->body.find("root:"), std::string::npos) << target;
    }
    // The service still serves what it should.
    auto good = m_service.Client().Get("/download/dotnet.exe");
    ASSERT_TRUE(good);
    EXPECT_EQ(good->body, "dotnet package\n");
}

TEST_F(Downloads, LicencePageIsAChinesePageInUtf8) {
    auto res = m_service.Client().Get("/service/clause");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(res->body.find("<html lang=\"zh-CN\">"), std::string::npos);
    EXPECT_NE(res->body.find("软件许可协议"), std::string::npos);
    EXPECT_NE(res->body.find("TarvexPDFConver"), std::string::npos);
}

// With a download rate, each answer's body comes out paced: whole, but no
// sooner than the rate allows; a range is paced from its own start.
TEST(PacedDownloads, ComeWholeAtNoMoreThanTheRate) {
    CatalogueFolder folder;
    RunningService service(
        folder, [](distd::ServiceOptions& options) { options.downloadRate = 128 * 1024; });
    httplib::Client client = service.Client();

    auto started = std::chrono::steady_clock::now();
    auto res = client.Get("/download/setup.exe");
    const auto whole = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, CatalogueFolder::Bytes(200000, 7));
    // 200000 bytes in chunks of 16 KiB: the last one is due after 1.5 s.
    EXPECT_GE(whole, std::chrono::milliseconds(1450));

    started = std::chrono::steady_clock::now();
    res = client.Get("/download/setup.exe", {{"Range", "bytes=100000-149151"}});
    const auto part = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 206);
    EXPECT_EQ(res->body, CatalogueFolder::Bytes(200000, 7).substr(100000, 49152));
    EXPECT_GE(part, std::chrono::milliseconds(240)); // 3 chunks: the last due at 0.25 s
    EXPECT_LT(part, whole);
}
