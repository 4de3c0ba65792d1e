// Reading reports from raw request targets: every document kind the
// statistics client sends, and one reason for every way a report can be
// wrong.
#include "server/report_check.h"

#include "tests/server/distd_test_util.h"

using namespace distd_test;
using distd::RejectReason;

namespace {

const distd::ProductKey kProduct{"51", kKey, kIv};

distd::ReportVerdict Check(const std::string& target) {
    return distd::CheckReport(
        target, [](const std::string& id) { return id == "51" ? &kProduct : nullptr; });
}

void ExpectRejected(const std::string& target, RejectReason reason, const char* what) {
    const distd::ReportVerdict verdict = Check(target);
    EXPECT_FALSE(verdict.ok) << what;
    EXPECT_EQ(distd::RejectReasonName(verdict.reason), std::string(distd::RejectReasonName(reason)))
        << what << ": " << verdict.detail;
    EXPECT_FALSE(verdict.detail.empty()) << what;
}

std::string Sealed(const std::string& doc) {
    return ReportTarget(doc).substr(std::string("/tj.html?value=51_").size());
}

} // namespace

TEST(ReportCheck, ReadsEachReportKind) {
    distd::ReportVerdict launch = Check(ReportTarget(LaunchDoc("10001", "1.1.8.305")));
    ASSERT_TRUE(launch.ok) << launch.detail;
    EXPECT_EQ(launch.report.kind, distd::ReportKind::Launch);
    EXPECT_EQ(launch.report.product, "51");
    EXPECT_EQ(launch.report.device.channel, "10001");
    EXPECT_EQ(launch.report.device.version, "1.1.8.305");
    EXPECT_EQ(launch.report.device.osName, "win7");
    EXPECT_EQ(launch.report.openTime, 1700000000);
    EXPECT_EQ(launch.report.document, LaunchDoc("10001", "1.1.8.305"));

    distd::ReportVerdict exit = Check(ReportTarget(ExitDoc("10001", "1.1.8.305")));
    ASSERT_TRUE(exit.ok) << exit.detail;
    EXPECT_EQ(exit.report.kind, distd::ReportKind::Exit);
    EXPECT_EQ(exit.report.closeTime, 1700000100);

    distd::ReportVerdict event =
        Check(ReportTarget(EventDoc("10001", "1.1.8.305", "InstallSuccess", "1.1.8.305+10001")));
    ASSERT_TRUE(event.ok) << event.detail;
    EXPECT_EQ(event.report.kind, distd::ReportKind::Events);
    ASSERT_EQ(event.report.events.size(), 1u);
    EXPECT_EQ(event.report.events[0].label, "InstallSuccess");
    EXPECT_EQ(event.report.events[0].name, "1.1.8.305+10001");
    EXPECT_EQ(event.report.events[0].actTime, 1700000050);

    const std::string error =
        "{" + DevInfo("1", "2") +
        ",\"error_log\":{\"acttime\":\"17\",\"error_msg\":\"a \\\"b\\\"\\/c\\nd "
        "\\u8FDE\"}}\n";
    distd::ReportVerdict exception = Check(ReportTarget(error));
    ASSERT_TRUE(exception.ok) << exception.detail;
    EXPECT_EQ(exception.report.kind, distd::ReportKind::Exception);
    EXPECT_EQ(exception.report.errorMsg, "a \"b\"/c\nd \xE8\xBF\x9E");

    // A reason mask without known bits sends "event_log":"" (no events).
    distd::ReportVerdict empty =
        Check(ReportTarget("{" + DevInfo("1", "2") + ",\"event_log\":\"\"}\n"));
    ASSERT_TRUE(empty.ok) << empty.detail;
    EXPECT_TRUE(empty.report.events.empty());
}

TEST(ReportCheck, ReadsThePayloadFromTheRawQuery) {
    // Find a payload with "+" and "/" in it: they are Base64 here, not form
    // encoding, so they must reach the decoder unchanged.
    for (int i = 0; i < 2000; ++i) {
        const std::string doc = LaunchDoc("c" + std::to_string(i), "1.0");
        const std::string payload = Sealed(doc);
        if (payload.find('+') == std::string::npos || payload.find('/') == std::string::npos) {
            continue;
        }
        EXPECT_TRUE(Check("//tj.html?value=51_" + payload).ok); // base URL with a trailing "/"
        EXPECT_TRUE(Check("/tj.html?x=1&value=51_" + payload + "&y=2").ok);
        // A sender that percent-encoded the payload is understood too.
        std::string encoded;
        for (char ch : payload) {
            encoded += ch == '+'   ? "%2B"
                       : ch == '/' ? "%2F"
                       : ch == '=' ? "%3D"
                                   : std::string(1, ch);
        }
        EXPECT_TRUE(Check("/tj.html?value=51_" + encoded).ok);
        return;
    }
    FAIL() << "no payload with both '+' and '/'";
}

TEST(ReportCheck, GivesOneReasonForEachFault) {
    const std::string doc = LaunchDoc("10001", "1.1.8.305");
    const std::string payload = Sealed(doc);
    ExpectRejected("/tj.html", RejectReason::NoValue, "no query");
    ExpectRejected("/tj.html?other=1", RejectReason::NoValue, "no value");
    ExpectRejected("/tj.html?value=" + payload, RejectReason::NoValue, "no product");
    ExpectRejected("/tj.html?value=51_", RejectReason::NoValue, "empty payload");
    ExpectRejected("/tj.html?value=99_" + payload, RejectReason::UnknownProduct, "unknown product");
    ExpectRejected("/tj.html?value=51_" + payload.substr(1), RejectReason::NotBase64, "cut Base64");
    ExpectRejected("/tj.html?value=51_ab!c", RejectReason::NotBase64, "foreign characters");
    ExpectRejected("/tj.html?value=51_%zz" + payload, RejectReason::NotBase64, "broken escape");
    ExpectRejected(ReportTarget(doc, "51", "c14f8a2b93e70d56f2a81b4ce90d7a36"),
                   RejectReason::WrongKey, "wrong key");
    // Cipher text cut at a whole Base64 quantum: the stream cipher gives a
    // cut document.
    ExpectRejected("/tj.html?value=51_" + payload.substr(0, payload.size() / 2 / 4 * 4),
                   RejectReason::NotJson, "truncated cipher text");
    ExpectRejected(ReportTarget("{\"dev_info\":{\"channel\":\"\xC3\x28\"}}\n"),
                   RejectReason::InvalidUtf8, "invalid UTF-8 bytes");
    ExpectRejected(ReportTarget(LaunchDoc("\\udc00", "1")), RejectReason::InvalidUtf8,
                   "an escaped lone surrogate");
    ExpectRejected(ReportTarget("{\"a\":" + std::string(3000, '[') + std::string(3000, ']') + "}"),
                   RejectReason::NotJson, "deep JSON");
    ExpectRejected(ReportTarget("[1,2]"), RejectReason::NotJson, "not an object");
    ExpectRejected(ReportTarget("{\"act_log\":{}}"), RejectReason::BadShape, "no dev_info");
    ExpectRejected(ReportTarget("{" + DevInfo("1", "2") + "}"), RejectReason::BadShape, "no block");
    ExpectRejected(ReportTarget("{" + DevInfo("1", "2") +
                                ",\"act_log\":{\"open_time\":\"1\",\"close_time\":\"0\"},"
                                "\"event_log\":\"\"}"),
                   RejectReason::BadShape, "two blocks");
    ExpectRejected(ReportTarget("{" + DevInfo("1", "2") +
                                ",\"act_log\":{\"open_time\":\"-1\",\"close_time\":\"0\"}}"),
                   RejectReason::BadShape, "negative time");
    ExpectRejected(ReportTarget("{" + DevInfo("1", "2") + ",\"event_log\":[{\"name\":\"n\"}]}"),
                   RejectReason::BadShape, "event without its members");
    ExpectRejected(ReportTarget("{" + DevInfo("1", "2") + ",\"event_log\":{}}"),
                   RejectReason::BadShape, "events not a list");
    ExpectRejected(ReportTarget(LaunchDoc("\\u001b[31m", "1")), RejectReason::BadShape,
                   "control character");
    std::string numeric = LaunchDoc("1", "2");
    numeric.replace(numeric.find("\"11\""), 4, "11");
    ExpectRejected(ReportTarget(numeric), RejectReason::BadShape, "a number instead of a string");
}

TEST(ReportCheck, ReasonNamesAreDistinct) {
    std::set<std::string> names;
    for (int i = 0; i < distd::kRejectReasonCount; ++i) {
        names.insert(distd::RejectReasonName(static_cast<RejectReason>(i)));
    }
    EXPECT_EQ(names.size(), static_cast<size_t>(distd::kRejectReasonCount));
    EXPECT_EQ(names.count("unknown"), 0u);
}
