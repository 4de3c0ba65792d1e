// The .NET stand-in package: once it has run, the installer's own check
// finds .NET Framework 4, so a second run no longer downloads it.
#include <gtest/gtest.h>

#include <string>

#include "app/system_queries.h"
#include "demo_test_util.h"
#include "plat/sys/registry.h"

// Win32 constants are plat's names on Linux and the system's macros on
// Windows: used unqualified.
using namespace plat;

using demotest::RunProgram;
using demotest::RunResult;
using demotest::W;

namespace {

using DotNetStandIn = demotest::PackageTest;

constexpr const wchar_t* kFull = L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";

} // namespace

TEST_F(DotNetStandIn, AfterItRunsTheInstallerFindsDotNet4) {
    EXPECT_FALSE(IsDotNet4Installed());
    // Run as the installer runs a package, with the catalogue's parameters.
    EXPECT_TRUE(RunAndWait(W(DOTNET_PACKAGE), L"/q /norestart"));
    EXPECT_TRUE(IsDotNet4Installed());

    // Both profiles are recorded: without the full one, the client one
    // still counts.
    plat::HKEY key = nullptr;
    ASSERT_EQ(plat::RegOpenKey(HKEY_LOCAL_MACHINE, kFull, &key), ERROR_SUCCESS);
    EXPECT_EQ(plat::RegDeleteValue(key, L"Install"), ERROR_SUCCESS);
    plat::RegCloseKey(key);
    EXPECT_TRUE(IsDotNet4Installed());

    // A second run (the same parameters, any case) succeeds as well.
    RunResult again = RunProgram(DOTNET_PACKAGE, "/Q /NoRestart");
    EXPECT_EQ(again.exitCode, 0) << again.output;
}

TEST_F(DotNetStandIn, AStoreThatCannotBeWrittenIsAFailure) {
    testutil::WriteAll(m_dir / "file", "not a folder");
    testutil::ScopedEnv store("PLAT_REGISTRY", m_dir / "file/registry.db");
    RunResult run = RunProgram(DOTNET_PACKAGE, "/q /norestart");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("cannot write HKEY_LOCAL_MACHINE\\Software\\Microsoft"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find(m_dir / "file/registry.db"), std::string::npos) << run.output;
}

TEST_F(DotNetStandIn, UnknownArgumentsChangeNothing) {
    RunResult run = RunProgram(DOTNET_PACKAGE, "/q /bogus");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("unknown argument \"/bogus\""), std::string::npos) << run.output;
    EXPECT_FALSE(IsDotNet4Installed());
}
