// Serving package files.
#include "server/downloads.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace distd {

namespace {

constexpr size_t kChunkBytes = 256 * 1024;

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// Digits only; values past 2^62 saturate (they are past any file's end).
bool ParseCount(const std::string& text, uint64_t& value) {
    if (text.empty()) {
        return false;
    }
    value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') {
            return false;
        }
        if (value < (uint64_t(1) << 62)) {
            value = value * 10 + static_cast<uint64_t>(ch - '0');
        }
    }
    return true;
}

bool EqualNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

// A file opened for one answer, closed when httplib lets go of the answer.
struct OpenFile {
    explicit OpenFile(int f) : fd(f) {}
    ~OpenFile() { ::close(fd); }
    int fd;
};

std::string ETagOf(const PackageFile& file) {
    char text[96];
    std::snprintf(
        text, sizeof(text), "\"%llx-%llx-%llx\"", static_cast<unsigned long long>(file.inode),
        static_cast<unsigned long long>(file.size), static_cast<unsigned long long>(file.mtimeNs));
    return text;
}

// True when an If-None-Match list names the tag (or is "*").
bool TagListMatches(const std::string& list, const std::string& tag) {
    size_t at = 0;
    while (at <= list.size()) {
        size_t comma = list.find(',', at);
        if (comma == std::string::npos) {
            comma = list.size();
        }
        std::string item = Trim(list.substr(at, comma - at));
        if (item.compare(0, 2, "W/") == 0) {
            item.erase(0, 2); // weak comparison
        }
        if (item == "*" || item == tag) {
            return true;
        }
        at = comma + 1;
    }
    return false;
}

void Serve(CatalogueHolder& catalogues, uint64_t bytesPerSecond, const httplib::Request& req,
           httplib::Response& res) {
    const std::shared_ptr<const Catalogue> catalogue = catalogues.Get();
    const std::string name = req.matches[1];
    std::string path;
    std::string error;
    // Only names the catalogue lists, and only inside the package folder.
    if (!catalogue->IsPackage(name) ||
        !ResolvePackage(catalogue->packageFolder, name, path, error)) {
        res.status = 404;
        res.set_content("no such package\n", "text/plain");
        return;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    PackageFile file;
    if (fd < 0 || !DescribeOpenFile(fd, file)) {
        if (fd >= 0) {
            ::close(fd);
        }
        res.status = 404;
        res.set_content("no such package\n", "text/plain");
        return;
    }
    auto open = std::make_shared<OpenFile>(fd);
    const std::string etag = ETagOf(file);
    const int64_t modified = file.mtimeNs / 1000000000;
    res.set_header("ETag", etag);
    res.set_header("Last-Modified", HttpDate(modified));
    res.set_header("Accept-Ranges", "bytes");

    int64_t since = 0;
    const bool notModified =
        req.has_header("If-None-Match")
            ? TagListMatches(req.get_header_value("If-None-Match"), etag)
            : ParseHttpDate(req.get_header_value("If-Modified-Since"), since) && modified <= since;
    if (notModified) {
        res.status = 304;
        return;
    }

    uint64_t first = 0;
    uint64_t last = file.size ? file.size - 1 : 0;
    RangeKind kind = RangeKind::Whole;
    if (req.has_header("Range")) {
        // If-Range: the range only applies to the version the client has.
        bool current = true;
        if (req.has_header("If-Range")) {
            const std::string condition = Trim(req.get_header_value("If-Range"));
            int64_t date = 0;
            current = condition == etag || (ParseHttpDate(condition, date) && date == modified);
        }
        if (current) {
            kind = ParseByteRange(req.get_header_value("Range"), file.size, first, last);
        }
    }
    if (kind == RangeKind::Unsatisfiable) {
        res.status = 416;
        res.set_header("Content-Range", "bytes */" + std::to_string(file.size));
        res.set_content("range not satisfiable\n", "text/plain");
        return;
    }
    if (kind == RangeKind::Partial) {
        res.status = 206;
        res.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                            std::to_string(last) + "/" + std::to_string(file.size));
    } else {
        res.status = 200;
    }
    if (file.size == 0) {
        res.set_content("", "application/octet-stream");
        return;
    }
    const uint64_t length = last - first + 1;
    const uint64_t base = first;
    // A paced answer goes out in chunks of about an eighth of a second, each
    // when the bytes before it are due.
    const size_t chunk =
        bytesPerSecond == 0
            ? kChunkBytes
            : static_cast<size_t>(std::clamp<uint64_t>(bytesPerSecond / 8, 1024, kChunkBytes));
    const auto started = std::chrono::steady_clock::now();
    res.set_content_provider(
        static_cast<size_t>(length), "application/octet-stream",
        [open, base, chunk, bytesPerSecond, started](size_t offset, size_t remaining,
                                                     httplib::DataSink& sink) {
            thread_local std::vector<char> buffer(kChunkBytes);
            if (bytesPerSecond != 0) {
                const auto due = std::chrono::microseconds(
                    static_cast<int64_t>(double(offset) * 1e6 / double(bytesPerSecond)));
                std::this_thread::sleep_until(started + due);
            }
            const size_t want = std::min(remaining, chunk);
            ssize_t got;
            do {
                got = ::pread(open->fd, buffer.data(), want, static_cast<off_t>(base + offset));
            } while (got < 0 && errno == EINTR);
            if (got <= 0) {
                return false; // read error or the file shrank: end the answer
            }
            return sink.write(buffer.data(), static_cast<size_t>(got));
        });
}

} // namespace

RangeKind ParseByteRange(const std::string& header, uint64_t size, uint64_t& first,
                         uint64_t& last) {
    const std::string value = Trim(header);
    const size_t equals = value.find('=');
    if (equals == std::string::npos || !EqualNoCase(Trim(value.substr(0, equals)), "bytes")) {
        return RangeKind::Whole;
    }
    const std::string spec = Trim(value.substr(equals + 1));
    if (spec.find(',') != std::string::npos) {
        return RangeKind::Whole;
    }
    const size_t dash = spec.find('-');
    if (dash == std::string::npos) {
        return RangeKind::Whole;
    }
    const std::string from = Trim(spec.substr(0, dash));
    const std::string to = Trim(spec.substr(dash + 1));
    uint64_t a = 0;
    uint64_t b = 0;
    if (from.empty()) {
        // The last b bytes.
        if (!ParseCount(to, b)) {
            return RangeKind::Whole;
        }
        if (b == 0 || size == 0) {
            return RangeKind::Unsatisfiable;
        }
        first = b >= size ? 0 : size - b;
        last = size - 1;
        return RangeKind::Partial;
    }
    if (!ParseCount(from, a) || (!to.empty() && !ParseCount(to, b))) {
        return RangeKind::Whole;
    }
    if (!to.empty() && b < a) {
        return RangeKind::Whole; // invalid: ignored
    }
    if (a >= size) {
        return RangeKind::Unsatisfiable;
    }
    first = a;
    last = to.empty() || b >= size ? size - 1 : b;
    return RangeKind::Partial;
}

std::string HttpDate(int64_t secondsSince1970) {
    const time_t t = static_cast<time_t>(secondsSince1970);
    struct tm parts;
    gmtime_r(&t, &parts);
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[80];
    std::snprintf(text, sizeof(text), "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[parts.tm_wday],
                  parts.tm_mday, kMonths[parts.tm_mon], parts.tm_year + 1900, parts.tm_hour,
                  parts.tm_min, parts.tm_sec);
    return text;
}

bool ParseHttpDate(const std::string& text, int64_t& secondsSince1970) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
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

void AddDownloadRoutes(httplib::Server& server, CatalogueHolder& catalogues,
                       uint64_t bytesPerSecond) {
    server.Get(R"(/download/([^/]+))",
               [&catalogues, bytesPerSecond](const httplib::Request& req, httplib::Response& res) {
                   Serve(catalogues, bytesPerSecond, req, res);
               });
}

} // namespace distd
