// Records what the install engine shows, as the install window would.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "app/install_engine.h"

namespace tarvex_test {

class RecordingView : public IInstallView {
public:
    void SetProgress(int value) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        progress.push_back(value);
    }
    void ShowFailure(const std::wstring& text) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        failures.push_back(text);
    }
    int GetConfigOk() const override { return configOk; }
    void SetConfigOk(int value) override { configOk = value; }
    void InstallDone() override { ++doneCount; }

    std::vector<int> progress;
    std::vector<std::wstring> failures;
    int configOk = 1;
    int doneCount = 0;

private:
    std::mutex m_mutex;
};

} // namespace tarvex_test
