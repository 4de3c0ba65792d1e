// The dashboard: figures and escaping in the page itself, and the page as a
// real browser shows it, filled by the real statistics client over days of
// reports, with a channel and a device name that try to inject markup.
#include "server/dashboard.h"

#include <stb_image.h>

#include <atomic>

#include "stat/IZrStat.h"
#include "tests/server/distd_test_util.h"

using namespace distd_test;

namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t kToday = 20000 * kDay + 12 * 3600;

const std::string kScriptChannel = "<script>document.title='pwned'</script>";
const std::string kImgDevice =
    "\"><img src=x onerror=\"document.body.setAttribute('data-pwned','1')\">";

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

std::string JsonEscaped(const std::string& text) {
    std::string out;
    for (char ch : text) {
        out += ch == '"' ? "\\\"" : std::string(1, ch);
    }
    return out;
}

// Runs headless Chromium on a URL with a fresh profile; its output.
std::string Chromium(const std::string& args, const std::string& url, int& rc) {
    testutil::TempDir profile("distd_chromium");
    return testutil::Run("timeout 90 chromium --headless --no-sandbox --disable-gpu --disable-quic "
                         "--no-first-run --disable-background-networking "
                         "--disable-component-update --disable-sync --user-data-dir='" +
                             profile.Path() + "' " + args + " '" + url + "' 2>/dev/null",
                         rc);
}

} // namespace

TEST(Dashboard, PageHoldsTheFiguresAndEscapesReportValues) {
    distd::Figures figures;
    figures.reports = 9;
    figures.byChannel.push_back({kScriptChannel, kImgDevice, 4, 3, 2, 0, 3});
    figures.daily.push_back({kToday / kDay, 4, 3, 2});
    figures.rejectsByReason.push_back({"wrong_key", 5});
    figures.recentRejects.push_back({kToday, "127.0.0.1", "wrong_key", "d<b>", "/tj.html?<x>"});
    figures.recentReports.push_back(
        {kToday, "127.0.0.1", "launch", kScriptChannel, "1", kImgDevice, "win7"});
    distd::ServiceStatus status;
    status.store = "store";
    const std::string html = distd::RenderDashboard(figures, kToday, status);
    EXPECT_EQ(Count(html, "<script"), 0u);
    EXPECT_EQ(Count(html, "<img"), 0u);
    EXPECT_EQ(Count(html, "<b>"), 0u);
    EXPECT_EQ(Count(html, "&lt;script&gt;document.title=&#39;pwned&#39;&lt;/script&gt;"), 2u);
    EXPECT_EQ(Count(html, "&quot;&gt;&lt;img src=x onerror=&quot;"), 2u);
    EXPECT_NE(html.find("<td class=\"n\">4</td><td class=\"n\">3</td><td class=\"n\">2</td>"
                        "<td class=\"n\">75.0%</td><td class=\"n\">50.0%</td>"),
              std::string::npos);
    EXPECT_NE(html.find("<svg id=\"daily\""), std::string::npos);
    EXPECT_NE(html.find("<svg id=\"funnel\""), std::string::npos);
    EXPECT_NE(html.find("<td>wrong_key</td><td class=\"n\">5</td>"), std::string::npos);
    // No asset is loaded from anywhere.
    EXPECT_EQ(Count(html, "src=\""), 0u);
    EXPECT_EQ(Count(html, "href=\""), 0u);
    EXPECT_EQ(Count(html, "url("), 0u);
}

TEST(Dashboard, ShownInHeadlessChromiumWithRealReports) {
    CatalogueFolder folder;
    std::atomic<int64_t> now{kToday - 29 * kDay};
    RunningService service(folder, [&now](distd::ServiceOptions& options) {
        options.clock = [&now] { return now.load(); };
    });
    ASSERT_TRUE(service.Started());

    // Thirty days of launches, installs and exits from the real client for
    // three channels and two installer versions.
    ns_zr_stat::IZrStat* stat = ns_zr_stat::CStatFactory::MakeZrStat();
    ASSERT_NE(stat, nullptr);
    stat->Init();
    ns_zr_stat::tagSTAT_CONFIG* settings = stat->GetConfig();
    const std::string base = service.Url("/");
    settings->strBaseUrl = std::wstring(base.begin(), base.end());
    settings->strKey = std::wstring(kKey.begin(), kKey.end());
    settings->strProductId = L"51";
    const wchar_t* const channels[] = {L"10001", L"10086", L"20230"};
    int expectedLaunches = 0;
    for (int day = 0; day < 30; ++day) {
        now = kToday - (29 - day) * kDay;
        for (int c = 0; c < 3; ++c) {
            settings->strChannel = channels[c];
            settings->strVersion = day < 12 ? L"1.1.7.290" : L"1.1.8.305";
            const int launches = 1 + (day * 7 + c * 5) % 4 + day / 10;
            for (int i = 0; i < launches; ++i) {
                ASSERT_TRUE(stat->CollectAppLunchyInfo_Sync());
                ++expectedLaunches;
                if ((i + day + c) % 4 != 3) {
                    const std::wstring name = settings->strVersion + L"+" + settings->strChannel;
                    ASSERT_TRUE(stat->SendEvent_Sync(L"InstallSuccess", name.c_str()));
                }
                if ((i + day) % 5 != 4) {
                    ASSERT_TRUE(stat->CollectAppExitInfo_Sync());
                }
            }
        }
    }
    ns_zr_stat::CStatFactory::Clear(stat);

    // Reports whose values try to inject markup, and some malformed ones.
    httplib::Client client = service.Client();
    const std::string hostile =
        "{\"dev_info\":{\"channel\":\"" + JsonEscaped(kScriptChannel) +
        "\",\"os_name\":\"xp\",\"os_type\":\"32\",\"dev_name\":\"" + JsonEscaped(kImgDevice) +
        "\",\"ie_ver\":\"8\",\"ver\":\"1.0.0.1\",\"sim_id\":\"\"},\"act_log\":{\"open_time\":"
        "\"1\",\"close_time\":\"0\"}}\n";
    auto res = client.Get(ReportTarget(hostile).c_str());
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    for (const std::string& target :
         {ReportTarget(LaunchDoc("1", "1"), "51", "c14f8a2b93e70d56f2a81b4ce90d7a36"),
          std::string("/tj.html?value=51_<img/src=x/onerror=alert(1)>"),
          std::string("/tj.html?value=99_AAAA"), ReportTarget("{\"a\":1}")}) {
        ASSERT_TRUE(client.Get(target.c_str()));
    }
    const distd::Figures figures = ReadFigures(service->Store(), now);
    EXPECT_EQ(figures.rejected, 4);

    int rc = 0;
    const std::string dom = Chromium("--dump-dom", service.Url("/"), rc);
    ASSERT_EQ(rc, 0) << "headless Chromium did not run (scripts/deps installs it)";
    ASSERT_NE(dom.find("installs and reports"), std::string::npos) << dom.substr(0, 2000);
    // The hostile values are text in the page; nothing of them became markup.
    EXPECT_GE(Count(dom, "&lt;script&gt;document.title='pwned'&lt;/script&gt;"), 2u);
    EXPECT_GE(Count(dom, "\"&gt;&lt;img src=x onerror=\"document.body.setAttribute("), 1u);
    EXPECT_NE(dom.find("&lt;img/src=x/onerror=alert(1)&gt;"), std::string::npos);
    EXPECT_EQ(Count(dom, "<script"), 0u);
    EXPECT_EQ(Count(dom, "<img"), 0u);
    EXPECT_EQ(Count(dom, "data-pwned"), Count(dom, "setAttribute('data-pwned'"));
    EXPECT_EQ(Count(dom, "<title>distd"), 1u);
    // The figures as the store has them.
    EXPECT_NE(dom.find("<td>10086</td><td>1.1.8.305</td>"), std::string::npos);
    EXPECT_NE(dom.find(">" + std::to_string(expectedLaunches + 1) + "</b><span>launches"),
              std::string::npos);
    EXPECT_NE(dom.find("<td>wrong_key</td><td class=\"n\">1</td>"), std::string::npos);
    EXPECT_NE(dom.find("<polyline class=\"series-installs\""), std::string::npos);

    // The picture: the page is drawn, charts in their colours.
    testutil::TempDir shots("distd_shot");
    const std::string png = shots / "dashboard.png";
    Chromium("--hide-scrollbars --window-size=1100,1900 --screenshot='" + png + "'",
             service.Url("/"), rc);
    ASSERT_EQ(rc, 0);
    int width = 0;
    int height = 0;
    int channelsInFile = 0;
    unsigned char* pixels = stbi_load(png.c_str(), &width, &height, &channelsInFile, 3);
    ASSERT_NE(pixels, nullptr) << "no screenshot at " << png;
    EXPECT_EQ(width, 1100);
    EXPECT_EQ(height, 1900);
    auto countColour = [&](int r, int g, int b) {
        size_t n = 0;
        for (int i = 0; i < width * height; ++i) {
            const unsigned char* p = pixels + i * 3;
            n += (std::abs(p[0] - r) < 8 && std::abs(p[1] - g) < 8 && std::abs(p[2] - b) < 8);
        }
        return n;
    };
    EXPECT_GT(countColour(0x1a, 0x36, 0x5d), 20000u); // the header band
    EXPECT_GT(countColour(0x2b, 0x6c, 0xb0), 5000u);  // launches: funnel bar and series
    EXPECT_GT(countColour(0x2f, 0x85, 0x5a), 3000u);  // installs
    EXPECT_GT(countColour(0xc0, 0x56, 0x21), 3000u);  // exits
    stbi_image_free(pixels);
    // Kept for the documentation when asked.
    if (const char* keep = std::getenv("DISTD_DASHBOARD_PICTURE")) {
        std::filesystem::copy_file(png, keep, std::filesystem::copy_options::overwrite_existing);
    }
}

TEST(Dashboard, ShowsTheTopPairsAndSumsTheRest) {
    distd::Figures figures;
    int64_t restLaunches = 0;
    for (int i = 0; i < 130; ++i) {
        // Launches 0 to 129 in a shuffled order; installs one per pair.
        const int launches = (i * 37) % 130;
        figures.byChannel.push_back(
            {"c" + std::to_string(i), "v", launches, 1, launches / 2, 0, 0});
        restLaunches += launches < 80 ? launches : 0;
    }
    distd::ServiceStatus status;
    const std::string html = distd::RenderDashboard(figures, kToday, status);
    const size_t table = html.find("<table id=\"channels\">");
    ASSERT_NE(table, std::string::npos);
    const std::string rows = html.substr(table, html.find("</table>", table) - table);
    EXPECT_EQ(Count(rows, "<tr"), 1u + distd::kTopChannelRows + 1u);
    // Most launches first: the pair with 129 launches, then 128.
    const size_t first = rows.find("<td class=\"n\">129</td>");
    ASSERT_NE(first, std::string::npos);
    EXPECT_LT(first, rows.find("<td class=\"n\">128</td>"));
    EXPECT_EQ(rows.find("<td class=\"n\">79</td>"), std::string::npos);
    EXPECT_NE(rows.find("the other 80 pairs</i></td><td></td><td class=\"n\">" +
                        std::to_string(restLaunches) + "</td><td class=\"n\">80</td>"),
              std::string::npos)
        << rows.substr(rows.size() - 400);
    EXPECT_NE(html.find("the 50 with the most launches of 130"), std::string::npos);
}
