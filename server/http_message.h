// The request a route handler reads and the answer it fills in. The HTTP
// layer (http_server.h) parses and frames them; handlers only decide.
//
// Contract of an answer: `status`, the headers the handler sets, and either
// a body in memory (`body`) or a range of an open file. The layer adds Date,
// Content-Length and Connection itself, leaves the body out for HEAD and
// for 204/304, and never applies Range or conditions on its own: a route
// that serves ranges or validators reads those headers itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace distd {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method; // "GET", "HEAD", ... as sent
    std::string target; // the request target as sent (path and query)
    std::string path;   // the target before "?", not decoded
    // The parts of the path the route's "{}" placeholders matched,
    // percent-decoded.
    std::vector<std::string> matches;
    HttpHeaders headers;
    std::string body; // read within the layer's limit; no route uses it
    std::string remoteAddr;
    int remotePort = 0;
    std::string localAddr;
    int localPort = 0;

    bool IsHead() const { return method == "HEAD"; }
    // The first header of that name (compared without regard to case).
    bool HasHeader(const std::string& name) const;
    std::string Header(const std::string& name) const; // "" when absent
};

// A file opened for one answer; closed when the last answer holding it is
// done.
class OpenFile {
public:
    explicit OpenFile(int fd) : m_fd(fd) {}
    ~OpenFile();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

// Bytes [offset, offset + length) of an open file as an answer's body,
// sent at most `bytesPerSecond` fast when that is above 0.
struct FileBody {
    std::shared_ptr<OpenFile> file;
    uint64_t offset = 0;
    uint64_t length = 0;
    uint64_t bytesPerSecond = 0;
};

struct HttpResponse {
    int status = 200;
    HttpHeaders headers;
    std::string body;
    std::shared_ptr<FileBody> file; // when set, the body comes from the file

    // Replaces a header of that name (any case) or adds it.
    void SetHeader(const std::string& name, const std::string& value);
    std::string Header(const std::string& name) const;
    void SetContent(std::string content, const std::string& contentType);
    void SetFile(std::shared_ptr<FileBody> content, const std::string& contentType);
    uint64_t BodyLength() const { return file ? file->length : body.size(); }
};

// True for the statuses that never carry a body (1xx, 204, 304).
bool StatusHasNoBody(int status);
// The reason phrase of a status ("Not Found"); "Unknown" for others.
const char* StatusReason(int status);

// ASCII comparison without regard to case.
bool EqualsNoCase(const std::string& a, const std::string& b);

// An HTTP date (IMF-fixdate) and back; false for a text that is not one.
std::string HttpDate(int64_t secondsSince1970);
bool ParseHttpDate(const std::string& text, int64_t& secondsSince1970);

} // namespace distd
