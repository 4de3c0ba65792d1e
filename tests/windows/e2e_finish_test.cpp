// The finish window's keys and a product that is not where the
// configuration said: Enter and Space on the fresh window start the product
// (its only tab stop is the start button); without the product the button
// just closes.
#include "tests/windows/e2e_steps.h"

using namespace e2e;

namespace {

struct FinishRun {
    Peer peer;
    Session s;
    std::string productDir;
};

// Installs a product package that puts a product stand-in in the install
// directory (or, with `withProduct` false, nothing) and waits for the
// finish window.
void RunToFinish(FinishRun& run, bool withProduct) {
    ASSERT_TRUE(run.peer.Running());
    run.productDir = run.s.InstallRoot() + "/TarvexPDFConver/2.0.1";
    ProbeOptions options;
    if (withProduct)
        options.productDir = run.productDir;
    const std::string product = ProbePackage("product", 200000, options);
    ServeProduct(run.peer, product);
    ASSERT_FALSE(StartInstalling(run.s, run.peer).cls.empty());
    const WindowInfo finish = run.s.Wait(kFinishClass, 60000);
    ASSERT_FALSE(finish.cls.empty()) << run.s.Errors();
    ExpectWindow(run.s, finish, FinishPicture(), "finish window");
}

void ExpectKeyStartsTheProduct(const std::string& key) {
    FinishRun run;
    RunToFinish(run, true);
    if (::testing::Test::HasFatalFailure())
        return;
    run.s.Key(key); // the last key of the run: no answer awaited
    EXPECT_EQ(run.s.Exit(), 1) << run.s.Errors();
    EXPECT_TRUE(run.s.WaitProbeLog("started args= installPath=" + run.productDir))
        << run.s.ProbeLog();
}

} // namespace

TEST(FinishWindow, EnterStartsTheProductAndCloses) {
    ExpectKeyStartsTheProduct("enter");
}

TEST(FinishWindow, SpaceStartsTheProductAndCloses) {
    ExpectKeyStartsTheProduct("space");
}

TEST(FinishWindow, WithoutTheProductTheButtonJustCloses) {
    FinishRun run;
    RunToFinish(run, false);
    if (::testing::Test::HasFatalFailure())
        return;
    EXPECT_FALSE(std::filesystem::exists(run.productDir + "/TarvexPDFConver.exe"));
    const WindowInfo finish = run.s.Find(kFinishClass);
    FinalClick(run.s, finish, ControlRect(kFinish, "startbtn", kWndW, kWndH));
    EXPECT_EQ(run.s.Exit(), 1) << run.s.Errors();
    EXPECT_EQ(run.s.Opened(), "") << "nothing may be handed to the desktop";
    EXPECT_EQ(run.s.ProbeLog(), "product args=/S installPath=" + run.productDir + "\n");
}
