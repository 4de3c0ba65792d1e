// The folder chooser on the headless backend, answered as a user would.
#include <gtest/gtest.h>

#include "app/install_context.h"
#include "app/system_queries.h"
#include "app_test_util.h"
#include "plat/win/dialog_answers.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

TEST(ChooseFolder, APickedFolderReplacesTheInstallFolder) {
    apptest::ScopedEnv backend("PLAT_BACKEND", std::string("headless"));
    g_installFolder = L"/opt";
    size_t asked = plat::FolderRequestsMade().size();

    plat::QueueFolderAnswer(L"/srv/软件 目录");
    EXPECT_TRUE(ChooseFolder(nullptr));
    EXPECT_EQ(g_installFolder, L"/srv/软件 目录");

    std::vector<std::wstring> titles = plat::FolderRequestsMade();
    ASSERT_EQ(titles.size(), asked + 1);
    EXPECT_EQ(titles.back(), L"选择一个文件夹");
}

TEST(ChooseFolder, CancellingKeepsTheInstallFolder) {
    apptest::ScopedEnv backend("PLAT_BACKEND", std::string("headless"));
    g_installFolder = L"/opt";
    plat::QueueFolderAnswer(nullptr);
    EXPECT_FALSE(ChooseFolder(nullptr));
    EXPECT_EQ(g_installFolder, L"/opt");
    // No answer queued and nobody automating: the chooser cancels at once.
    EXPECT_FALSE(ChooseFolder(nullptr));
    EXPECT_EQ(g_installFolder, L"/opt");
}

TEST(ChooseFolder, ALongPickIsReturnedWhole) {
    apptest::ScopedEnv backend("PLAT_BACKEND", std::string("headless"));
    g_installFolder = L"/opt";
    std::wstring longPath = L"/srv";
    while (longPath.size() < 400)
        longPath += L"/很长的文件夹名称 folder";
    ASSERT_GE(longPath.size(), size_t(MAX_PATH));
    plat::QueueFolderAnswer(longPath.c_str());
    EXPECT_TRUE(ChooseFolder(nullptr));
    EXPECT_EQ(g_installFolder, longPath);
    // Exactly at the old limit too.
    const std::wstring edge = L"/" + std::wstring(MAX_PATH - 1, L'e');
    plat::QueueFolderAnswer(edge.c_str());
    EXPECT_TRUE(ChooseFolder(nullptr));
    EXPECT_EQ(g_installFolder, edge);
}
