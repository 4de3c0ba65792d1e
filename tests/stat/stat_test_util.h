// Helpers of the client tests: a configured client and reading recorded
// requests back into documents.
#pragma once

#include "stat/ReportDecode.h"
#include "stat/ZrStat.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <memory>
#include <string>

#include "tests/common/test_util.h"

namespace stat_test {

const std::wstring kInstallerKey = L"5b7d2e90a4c1f38e6d0b9a27c4e8f153";
const std::string kInstallerKeyBytes = "5b7d2e90a4c1f38e6d0b9a27c4e8f153";
const std::string kDefaultIvBytes = "p8K#v2Lq!Wz7@Rt4";

// Settings as the installer writes them, pointed at a local base URL.
inline void ConfigureAsInstaller(ns_zr_stat::IZrStat& stat, const std::wstring& baseUrl) {
    ns_zr_stat::tagSTAT_CONFIG* pConfig = stat.GetConfig();
    pConfig->strBaseUrl = baseUrl;
    pConfig->strKey = kInstallerKey;
    pConfig->strProductId = L"51";
    pConfig->strChannel = L"10001";
    pConfig->strVersion = L"1.1.8.305";
}

// The JSON text (UTF-8) sealed into a recorded request target.
inline std::string DocumentOf(const std::string& target,
                              const std::string& key = kInstallerKeyBytes) {
    ns_zr_stat::tagSTAT_DECODED decoded;
    ns_zr_stat::ENUM_DECODE_RESULT result =
        ns_zr_stat::DecodeReport(target, key, kDefaultIvBytes, decoded);
    EXPECT_EQ(result, ns_zr_stat::DECODE_OK) << decoded.strError << " in " << target;
    return decoded.strJson;
}

inline Json::Value Parse(const std::string& text) {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &root, &errors))
        << errors << " in " << text;
    return root;
}

// The text of one member's value in a compact document: from the key's
// opening quotation mark up to the end of its value.
inline std::string MemberText(const std::string& doc, const std::string& key) {
    size_t at = doc.find("\"" + key + "\":");
    if (at == std::string::npos) {
        return std::string();
    }
    size_t start = at + key.size() + 3;
    int depth = 0;
    bool inString = false;
    for (size_t i = start; i < doc.size(); ++i) {
        char ch = doc[i];
        if (inString) {
            if (ch == '\\') {
                ++i;
            } else if (ch == '"') {
                inString = false;
                if (depth == 0) {
                    return doc.substr(start, i + 1 - start);
                }
            }
            continue;
        }
        if (ch == '"') {
            inString = true;
        } else if (ch == '{' || ch == '[') {
            ++depth;
        } else if (ch == '}' || ch == ']') {
            if (--depth == 0) {
                return doc.substr(start, i + 1 - start);
            }
        }
    }
    return std::string();
}

} // namespace stat_test
