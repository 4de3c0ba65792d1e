// Which backend a program gets: a program with nowhere to show its windows
// stops with a clear message instead of running invisible windows.
#include <gtest/gtest.h>

#include "tests/common/child_process.h"
#include "tests/common/test_util.h"

using testutil::ChildProcess;

namespace {

struct Ended {
    int code;
    std::string errors;
};

Ended RunExample(const std::vector<std::string>& set, const std::vector<std::string>& unset) {
    testutil::TempDir dir("tarvex_choice");
    ChildProcess p;
    std::string err = dir / "err.txt";
    if (!p.Start(WINEXAMPLE_PATH, {}, set, unset, dir / "out.txt", err))
        return Ended{-2, ""};
    int code = p.Wait(10000);
    return Ended{code, testutil::ReadAll(err)};
}

TEST(BackendChoice, NoDisplayAndNoHeadlessChoiceStopsWithAClearMessage) {
    Ended e = RunExample({}, {"DISPLAY", "PLAT_BACKEND", "PLAT_AUTOMATION"});
    EXPECT_EQ(e.code, 1);
    EXPECT_NE(e.errors.find("winexample: no display to show windows on"), std::string::npos)
        << e.errors;
    EXPECT_NE(e.errors.find("PLAT_BACKEND=headless"), std::string::npos) << e.errors;
}

TEST(BackendChoice, AnUnreachableDisplayOrUnknownBackendIsNamed) {
    Ended e = RunExample({"DISPLAY=:4321"}, {"PLAT_BACKEND", "PLAT_AUTOMATION"});
    EXPECT_EQ(e.code, 1);
    EXPECT_NE(e.errors.find("cannot open the X display \":4321\""), std::string::npos) << e.errors;

    e = RunExample({"PLAT_BACKEND=wayland"}, {"PLAT_AUTOMATION"});
    EXPECT_EQ(e.code, 1);
    EXPECT_NE(e.errors.find("unknown display backend \"wayland\""), std::string::npos) << e.errors;
}

} // namespace
