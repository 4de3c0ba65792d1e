// A registry store of the test's own: $PLAT_REGISTRY points at a fresh file
// in a private folder while the object lives.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

class ScratchRegistry {
public:
    ~ScratchRegistry() {
        if (!m_dir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_dir, ignored);
        }
    }
    // Points $PLAT_REGISTRY at an empty store of this object.
    void Use() {
        if (m_dir.empty()) {
            static int counter = 0;
            m_dir = std::filesystem::temp_directory_path() /
                    ("stat-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
            std::filesystem::create_directories(m_dir);
        }
        ::setenv("PLAT_REGISTRY", (m_dir / "registry.db").c_str(), 1);
    }

private:
    std::filesystem::path m_dir;
};
