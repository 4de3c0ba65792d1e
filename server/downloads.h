// Package downloads: GET and HEAD of /download/{name} for the packages the
// catalogue names, and nothing else. Answers carry Content-Length, an ETag
// and Last-Modified, honour If-None-Match / If-Modified-Since (304) and
// If-Range, and serve a single byte range (206, or 416 when it lies past the
// end). A request with several ranges gets the whole file, as HTTP allows.
#pragma once

#include <cstdint>
#include <string>

#include "server/catalogue.h"
#include "server/http_server.h"

namespace distd {

enum class RangeKind {
    Whole,         // no usable Range header: send everything
    Partial,       // send bytes first..last (inclusive)
    Unsatisfiable, // the range starts at or past the end: 416
};

// Reads a Range header for a file of `size` bytes. Only "bytes=" with one
// range counts ("a-b", "a-", "-n"); anything else, malformed or with
// several ranges, is ignored (Whole).
RangeKind ParseByteRange(const std::string& header, uint64_t size, uint64_t& first, uint64_t& last);

// With `bytesPerSecond` above 0 each answer's body is paced to at most that
// rate (a paced download costs a timer, not a thread, while it waits).
void AddDownloadRoutes(HttpServer& server, CatalogueHolder& catalogues,
                       uint64_t bytesPerSecond = 0);

} // namespace distd
