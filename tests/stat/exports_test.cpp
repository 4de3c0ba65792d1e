// The executable exports the client's factory and interface: another module
// finds the factory by its symbol and uses the client through it.
#include "recording_server.h"
#include "stat/IZrStat.h"
#include "stat_test_env.h"
#include "stat_test_util.h"

#include <dlfcn.h>

using namespace ns_zr_stat;

TEST(Exports, FactoryAndInterfaceAreDynamicSymbols) {
    void* self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    for (const char* symbol :
         {"_ZN10ns_zr_stat12CStatFactory10MakeZrStatEv",
          "_ZN10ns_zr_stat12CStatFactory5ClearEPNS_7IZrStatE", "_ZTVN10ns_zr_stat7IZrStatE",
          "_ZN10ns_zr_stat7IZrStatC2Ev", "_ZN10ns_zr_stat7IZrStatC2ERKS0_",
          "_ZN10ns_zr_stat7IZrStatD2Ev", "_ZN10ns_zr_stat7IZrStataSERKS0_"}) {
        EXPECT_NE(dlsym(self, symbol), nullptr) << symbol;
    }
    dlclose(self);
}

TEST(Exports, ClientMadeThroughTheExportedFactoryReports) {
    ScratchRegistry registry;
    registry.Use();
    RecordingServer server;
    using MakeFn = IZrStat* (*)();
    using ClearFn = void (*)(IZrStat*);
    auto make = reinterpret_cast<MakeFn>(
        dlsym(RTLD_DEFAULT, "_ZN10ns_zr_stat12CStatFactory10MakeZrStatEv"));
    auto clear = reinterpret_cast<ClearFn>(
        dlsym(RTLD_DEFAULT, "_ZN10ns_zr_stat12CStatFactory5ClearEPNS_7IZrStatE"));
    ASSERT_NE(make, nullptr);
    ASSERT_NE(clear, nullptr);
    IZrStat* pStat = make();
    ASSERT_NE(pStat, nullptr);
    EXPECT_TRUE(pStat->Init());
    stat_test::ConfigureAsInstaller(*pStat, server.BaseUrl(L"/"));
    EXPECT_TRUE(pStat->SendEvent_Sync(L"InstallSuccess", L"1.0+1"));
    EXPECT_EQ(server.Count(), 1u);
    clear(pStat);
    clear(nullptr);
}
