// Serving package files.
#include "server/downloads.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace distd {

namespace {

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

void Serve(CatalogueHolder& catalogues, uint64_t bytesPerSecond, const HttpRequest& req,
           HttpResponse& res) {
    const std::shared_ptr<const Catalogue> catalogue = catalogues.Get();
    const std::string& name = req.matches.at(0);
    std::string path;
    std::string error;
    // Only names the catalogue lists, and only inside the package folder.
    if (!catalogue->IsPackage(name) ||
        !ResolvePackage(catalogue->packageFolder, name, path, error)) {
        res.status = 404;
        res.SetContent("no such package\n", "text/plain");
        return;
    }
    auto open = std::make_shared<OpenFile>(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    PackageFile file;
    if (open->Fd() < 0 || !DescribeOpenFile(open->Fd(), file)) {
        res.status = 404;
        res.SetContent("no such package\n", "text/plain");
        return;
    }
    const std::string etag = ETagOf(file);
    const int64_t modified = file.mtimeNs / 1000000000;
    res.SetHeader("ETag", etag);
    res.SetHeader("Last-Modified", HttpDate(modified));
    res.SetHeader("Accept-Ranges", "bytes");

    int64_t since = 0;
    const bool notModified =
        req.HasHeader("If-None-Match")
            ? TagListMatches(req.Header("If-None-Match"), etag)
            : ParseHttpDate(req.Header("If-Modified-Since"), since) && modified <= since;
    if (notModified) {
        res.status = 304;
        return;
    }

    uint64_t first = 0;
    uint64_t last = file.size ? file.size - 1 : 0;
    RangeKind kind = RangeKind::Whole;
    if (req.HasHeader("Range")) {
        // If-Range: the range only applies to the version the client has.
        bool current = true;
        if (req.HasHeader("If-Range")) {
            const std::string condition = Trim(req.Header("If-Range"));
            int64_t date = 0;
            current = condition == etag || (ParseHttpDate(condition, date) && date == modified);
        }
        if (current) {
            kind = ParseByteRange(req.Header("Range"), file.size, first, last);
        }
    }
    if (kind == RangeKind::Unsatisfiable) {
        res.status = 416;
        res.SetHeader("Content-Range", "bytes */" + std::to_string(file.size));
        res.SetContent("range not satisfiable\n", "text/plain");
        return;
    }
    if (kind == RangeKind::Partial) {
        res.status = 206;
        res.SetHeader("Content-Range", "bytes " + std::to_string(first) + "-" +
                                           std::to_string(last) + "/" + std::to_string(file.size));
    } else {
        res.status = 200;
    }
    if (file.size == 0) {
        res.SetContent("", "application/octet-stream");
        return;
    }
    auto body = std::make_shared<FileBody>();
    body->file = std::move(open);
    body->offset = first;
    body->length = last - first + 1;
    body->bytesPerSecond = bytesPerSecond;
    res.SetFile(std::move(body), "application/octet-stream");
}

} // namespace

RangeKind ParseByteRange(const std::string& header, uint64_t size, uint64_t& first,
                         uint64_t& last) {
    const std::string value = Trim(header);
    const size_t equals = value.find('=');
    if (equals == std::string::npos || !EqualsNoCase(Trim(value.substr(0, equals)), "bytes")) {
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

void AddDownloadRoutes(HttpServer& server, CatalogueHolder& catalogues, uint64_t bytesPerSecond) {
    // Opening and describing a file is quick: answered on the I/O thread, the
    // body then sent from the file without a copy.
    server.Get(
        "/download/{}",
        [&catalogues, bytesPerSecond](const HttpRequest& req, HttpResponse& res) {
            Serve(catalogues, bytesPerSecond, req, res);
        },
        HttpServer::Run::Inline);
}

} // namespace distd
