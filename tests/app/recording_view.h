// Records what the install engine shows, as the install window would.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/install_engine.h"

namespace tarvex_test {

// Each progress value is kept with the number of package downloads the
// server had seen when it arrived, so a test can tell which download it
// belonged to.
class RecordingView : public IInstallView {
public:
    explicit RecordingView(std::function<size_t()> downloadsSoFar = [] { return size_t(0); })
        : m_downloadsSoFar(std::move(downloadsSoFar)) {}

    void SetProgress(int value) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            progress.push_back(value);
            phases.push_back(m_downloadsSoFar());
        }
        if (onProgress) {
            onProgress(value);
        }
    }
    void ShowFailure(const std::wstring& text) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        failures.push_back(text);
    }
    void InstallDone() override { ++doneCount; }

    std::vector<int> progress;
    std::vector<size_t> phases;
    std::vector<std::wstring> failures;
    int doneCount = 0;
    // Called after each progress value is recorded (on the worker thread).
    std::function<void(int)> onProgress;

private:
    std::function<size_t()> m_downloadsSoFar;
    std::mutex m_mutex;
};

} // namespace tarvex_test
