// Conversions with the system code page (CP_ACP), as Win32 code does them.
#include "stat/StatText.h"

#include "plat/sys/text.h"

#include <cwchar>
#include <vector>

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

namespace ns_zr_stat {

std::string StatWideToAnsi(const std::wstring& strText) {
    // Up to the first zero character, which the -1 length also converts.
    const wchar_t* pszText = strText.c_str();
    if (*pszText == L'\0') {
        return std::string();
    }
    int nBytes = plat::WideCharToMultiByte(CP_ACP, 0, pszText, -1, nullptr, 0, nullptr, nullptr);
    if (nBytes <= 0) {
        return std::string();
    }
    std::vector<char> buffer(static_cast<size_t>(nBytes));
    nBytes =
        plat::WideCharToMultiByte(CP_ACP, 0, pszText, -1, buffer.data(), nBytes, nullptr, nullptr);
    if (nBytes <= 0) {
        return std::string();
    }
    return std::string(buffer.data());
}

std::wstring StatAnsiToWide(const std::string& strBytes) {
    if (strBytes.empty()) {
        return std::wstring();
    }
    int nBytes = static_cast<int>(strBytes.size());
    int nChars =
        plat::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, strBytes.data(), nBytes, nullptr, 0);
    if (nChars <= 0) {
        return std::wstring();
    }
    std::wstring text(static_cast<size_t>(nChars), L'\0');
    nChars = plat::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, strBytes.data(), nBytes, &text[0],
                                       nChars);
    text.resize(nChars > 0 ? static_cast<size_t>(nChars) : 0);
    return text;
}

} // namespace ns_zr_stat
