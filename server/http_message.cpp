// Requests, answers and HTTP dates.
#include "server/http_message.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace distd {

namespace {

const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

char Lower(char ch) {
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

const std::string* Find(const HttpHeaders& headers, const std::string& name) {
    for (const auto& header : headers) {
        if (EqualsNoCase(header.first, name)) {
            return &header.second;
        }
    }
    return nullptr;
}

} // namespace

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool HttpRequest::HasHeader(const std::string& name) const {
    return Find(headers, name) != nullptr;
}

std::string HttpRequest::Header(const std::string& name) const {
    const std::string* value = Find(headers, name);
    return value ? *value : std::string();
}

OpenFile::~OpenFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void HttpResponse::SetHeader(const std::string& name, const std::string& value) {
    for (auto& header : headers) {
        if (EqualsNoCase(header.first, name)) {
            header.second = value;
            return;
        }
    }
    headers.emplace_back(name, value);
}

std::string HttpResponse::Header(const std::string& name) const {
    const std::string* value = Find(headers, name);
    return value ? *value : std::string();
}

void HttpResponse::SetContent(std::string content, const std::string& contentType) {
    body = std::move(content);
    file.reset();
    SetHeader("Content-Type", contentType);
}

void HttpResponse::SetFile(std::shared_ptr<FileBody> content, const std::string& contentType) {
    body.clear();
    file = std::move(content);
    SetHeader("Content-Type", contentType);
}

bool StatusHasNoBody(int status) {
    return (status >= 100 && status < 200) || status == 204 || status == 304;
}

const char* StatusReason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 202:
        return "Accepted";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Content Too Large";
    case 414:
        return "URI Too Long";
    case 416:
        return "Range Not Satisfiable";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Unknown";
    }
}

std::string HttpDate(int64_t secondsSince1970) {
    const time_t t = static_cast<time_t>(secondsSince1970);
    struct tm parts;
    gmtime_r(&t, &parts);
    char text[80];
    std::snprintf(text, sizeof(text), "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[parts.tm_wday],
                  parts.tm_mday, kMonths[parts.tm_mon], parts.tm_year + 1900, parts.tm_hour,
                  parts.tm_min, parts.tm_sec);
    return text;
}

bool ParseHttpDate(const std::string& text, int64_t& secondsSince1970) {
    char day[4] = "";
    char month[4] = "";
    int mday = 0;
    int year = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%3s, %d %3s %d %d:%d:%d GMT%n", day, &mday, month, &year, &hour,
                    &minute, &second, &used) != 7 ||
        used != static_cast<int>(text.size())) {
        return false;
    }
    int mon = -1;
    for (int i = 0; i < 12; ++i) {
        if (std::string(month) == kMonths[i]) {
            mon = i;
        }
    }
    if (mon < 0 || mday < 1 || mday > 31 || year < 1970 || year > 9999 || hour > 23 ||
        minute > 59 || second > 60 || hour < 0 || minute < 0 || second < 0) {
        return false;
    }
    struct tm parts = {};
    parts.tm_year = year - 1900;
    parts.tm_mon = mon;
    parts.tm_mday = mday;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    secondsSince1970 = static_cast<int64_t>(timegm(&parts));
    return true;
}

} // namespace distd
