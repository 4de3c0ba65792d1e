// A registry store of the test's own: $PLAT_REGISTRY points at a fresh file
// in a private folder while the object lives, and is restored afterwards.
#pragma once

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "tests/common/test_util.h"

class ScratchRegistry {
public:
    ~ScratchRegistry() {
        m_env.reset();
        if (!m_dir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_dir, ignored);
        }
    }
    // Points $PLAT_REGISTRY at an empty store of this object.
    void Use() {
        if (m_dir.empty()) {
            static int counter = 0;
            static const unsigned run = std::random_device()();
            m_dir = std::filesystem::temp_directory_path() /
                    ("stat-test-" + std::to_string(run) + "-" + std::to_string(++counter));
            std::filesystem::create_directories(m_dir);
        }
        if (!m_env) {
            m_env = std::make_unique<testutil::ScopedEnv>("PLAT_REGISTRY",
                                                          (m_dir / "registry.db").string());
        }
    }

private:
    std::filesystem::path m_dir;
    std::unique_ptr<testutil::ScopedEnv> m_env;
};
