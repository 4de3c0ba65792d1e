// One connection of the HTTP server: its phases are
//   Idle     waiting for the first byte of a request (closable at the cap)
//   Header   reading the request line and headers (header deadline)
//   Body     reading the body (body deadline)
//   Handling the route's handler runs (no deadline: the stop grace bounds it)
//   Sending  writing the answer (a deadline for each step of progress)
//   Draining after a final answer: our side is shut, what the client still
//            sends is read and dropped for a moment, then the close
//   Closed
#include "server/http_connection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/sendfile.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>

namespace distd {

namespace http = boost::beast::http;
using boost::system::error_code;

namespace {

constexpr size_t kReadBytes = 16 * 1024;
constexpr size_t kHeadCaptureBytes = 1024;
// What a closing connection reads and drops at most, and for how long.
constexpr size_t kDrainBytes = 16 * 1024 * 1024;
constexpr std::chrono::milliseconds kDrainTime{2000};
// A file answer sends at most this much before letting other connections on
// the same thread have a turn.
constexpr uint64_t kFileTurnBytes = 4 * 1024 * 1024;
constexpr uint64_t kPacedChunkMax = 256 * 1024;

// A header value as it may go on the wire: no line breaks.
std::string HeaderSafe(const std::string& value) {
    std::string out = value;
    std::replace_if(
        out.begin(), out.end(), [](char ch) { return ch == '\r' || ch == '\n'; }, ' ');
    return out;
}

// "http://host:port/path?q" (absolute form) to "/path?q".
std::string OriginForm(std::string target) {
    for (const char* scheme : {"http://", "https://"}) {
        const size_t length = std::strlen(scheme);
        if (target.size() >= length && EqualsNoCase(target.substr(0, length), scheme)) {
            const size_t slash = target.find_first_of("/?", length);
            if (slash == std::string::npos) {
                return "/";
            }
            target = target.substr(slash);
            return target[0] == '/' ? target : "/" + target;
        }
    }
    return target;
}

} // namespace

Connection::Connection(HttpServer::Core& core, tcp::socket socket)
    : m_core(core), m_socket(std::move(socket)), m_timer(m_socket.get_executor()) {}

Connection::~Connection() {
    m_core.Unregister(this);
}

void Connection::Start() {
    net::dispatch(m_socket.get_executor(), [self = shared_from_this()] {
        error_code ec;
        // An answer's head and its file body go out in separate writes.
        self->m_socket.set_option(tcp::no_delay(true), ec);
        // sendfile(2) on the socket must not block the I/O thread.
        self->m_socket.native_non_blocking(true, ec);
        const tcp::endpoint remote = self->m_socket.remote_endpoint(ec);
        if (!ec) {
            self->m_remoteAddr = remote.address().to_string();
            self->m_remotePort = remote.port();
        }
        const tcp::endpoint local = self->m_socket.local_endpoint(ec);
        if (!ec) {
            self->m_localAddr = local.address().to_string();
            self->m_localPort = local.port();
        }
        self->BeginRequest(true);
    });
}

void Connection::CloseIfIdle() {
    net::dispatch(m_socket.get_executor(), [self = shared_from_this()] {
        if (self->m_phase == Phase::Idle) {
            ++self->m_core.counts.evicted;
            self->Close();
        }
    });
}

void Connection::BeginStop() {
    net::dispatch(m_socket.get_executor(), [self = shared_from_this()] {
        // A request being handled or answered finishes (and the answer says
        // the connection closes); anything else ends now.
        if (self->m_phase != Phase::Handling && self->m_phase != Phase::Sending) {
            self->Close();
        }
    });
}

void Connection::ForceClose() {
    net::dispatch(m_socket.get_executor(), [self = shared_from_this()] { self->Close(); });
}

void Connection::Arm(Clock::time_point when, void (Connection::*then)()) {
    const uint64_t generation = ++m_timerGeneration;
    m_timer.expires_at(when);
    m_timer.async_wait([self = shared_from_this(), generation, then](const error_code& ec) {
        if (ec || generation != self->m_timerGeneration || self->m_phase == Phase::Closed) {
            return; // re-armed, disarmed or closed meanwhile
        }
        ((*self).*then)();
    });
}

void Connection::Disarm() {
    ++m_timerGeneration;
    m_timer.cancel();
}

void Connection::BeginRequest(bool fresh) {
    m_fresh = fresh;
    m_parser.emplace();
    m_parser->header_limit(static_cast<std::uint32_t>(m_core.limits.maxHeaderBytes));
    m_parser->body_limit(m_core.limits.maxBodyBytes);
    m_parser->eager(true);
    m_scanned = 0;
    m_scan = HeaderScan();
    m_head.clear();
    if (m_core.stopping) {
        Close();
        return;
    }
    if (m_buffer.size() > 0) {
        // The next request came with the last one (pipelined).
        m_phase = Phase::Header;
        ArmDeadline(m_core.limits.headerTimeout);
        Parse();
        return;
    }
    m_phase = Phase::Idle;
    m_core.MarkIdle(shared_from_this());
    ArmDeadline(fresh ? m_core.limits.headerTimeout : m_core.limits.idleTimeout);
    // A waiting connection holds no read buffer: the read begins when the
    // first byte (or the close) is there.
    m_buffer.shrink_to_fit();
    m_socket.async_wait(tcp::socket::wait_read, [self = shared_from_this()](const error_code& ec) {
        if (self->m_phase != Phase::Idle || ec == net::error::operation_aborted) {
            return;
        }
        if (ec) {
            self->Close();
            return;
        }
        self->Read();
    });
}

void Connection::Read() {
    m_socket.async_read_some(m_buffer.prepare(kReadBytes),
                             [self = shared_from_this()](const error_code& ec, size_t bytes) {
                                 self->OnRead(ec, bytes);
                             });
}

void Connection::OnRead(const error_code& ec, size_t bytes) {
    if (m_phase == Phase::Closed || ec == net::error::operation_aborted) {
        return; // closed, or the read was cancelled on purpose (a deadline)
    }
    if (ec) {
        Close(); // the client closed or reset: nothing to answer
        return;
    }
    m_buffer.commit(bytes);
    switch (m_phase) {
    case Phase::Idle:
        m_core.MarkBusy(this);
        m_phase = Phase::Header;
        if (!m_fresh) {
            ArmDeadline(m_core.limits.headerTimeout);
        }
        Parse();
        return;
    case Phase::Header:
    case Phase::Body:
        Parse();
        return;
    case Phase::Draining:
        m_drained += m_buffer.size();
        m_buffer.consume(m_buffer.size());
        if (m_drained >= kDrainBytes) {
            Close();
        } else {
            Read();
        }
        return;
    default:
        return;
    }
}

bool Connection::ScanHeader() {
    // Every byte of the header is seen once, in order, before the parser
    // takes it (the parser consumes the request line as soon as it is whole,
    // so the buffer does not always begin with the request).
    const auto data = m_buffer.data();
    const char* bytes = static_cast<const char*>(data.data());
    const size_t size = data.size();
    for (; m_scanned < size && !m_scan.ended; ++m_scanned) {
        const char ch = bytes[m_scanned];
        if (m_head.size() < kHeadCaptureBytes) {
            m_head.push_back(ch);
        }
        ++m_scan.bytes;
        if (ch == '\n') {
            if (!m_scan.afterCR) {
                return true; // a line ends without CR
            }
            if (m_scan.lineLength == 0 && m_scan.lines > 0) {
                m_scan.ended = true; // the empty line: a body may hold anything
            }
            if (m_scan.lines == 0) {
                m_scan.requestLineBytes = m_scan.bytes;
            }
            ++m_scan.lines;
            m_scan.lineLength = 0;
            m_scan.afterCR = false;
        } else if (ch == '\r') {
            m_scan.afterCR = true;
        } else {
            m_scan.afterCR = false;
            ++m_scan.lineLength;
        }
    }
    return false;
}

void Connection::EnterBody() {
    if (m_phase == Phase::Header && m_parser->is_header_done()) {
        m_phase = Phase::Body;
        ArmDeadline(m_core.limits.bodyTimeout);
    }
}

void Connection::Parse() {
    for (;;) {
        if (!m_parser->is_header_done() && ScanHeader()) {
            ++m_core.counts.malformed;
            Refuse(400, "malformed request: a line ends without CR\n");
            return;
        }
        if (m_buffer.size() == 0) {
            EnterBody();
            Read();
            return;
        }
        error_code ec;
        const size_t used = m_parser->put(m_buffer.data(), ec);
        m_buffer.consume(used);
        m_scanned -= std::min(used, m_scanned);
        if (ec == http::error::need_more) {
            EnterBody();
            Read();
            return;
        }
        if (ec == http::error::header_limit) {
            RefuseOversized();
            return;
        }
        if (ec == http::error::body_limit) {
            ++m_core.counts.oversized;
            Refuse(413, "request body too large\n");
            return;
        }
        if (ec) {
            ++m_core.counts.malformed;
            Refuse(400, "malformed request: " + ec.message() + "\n");
            return;
        }
        if (m_parser->is_done()) {
            Dispatch();
            return;
        }
        EnterBody();
        if (used == 0) {
            Read();
            return;
        }
    }
}

void Connection::RefuseOversized() {
    OversizedRequest refused;
    refused.source = m_remoteAddr;
    refused.head = m_head;
    // Over the limit before the request line ended: the target is too long.
    refused.status =
        m_scan.requestLineBytes == 0 || m_scan.requestLineBytes > m_core.limits.maxHeaderBytes
            ? 414
            : 431;
    ++m_core.counts.oversized;
    if (m_core.onOversized) {
        m_core.pool.Post([handler = m_core.onOversized, refused] { handler(refused); });
    }
    Refuse(refused.status, "request too large\n");
}

void Connection::Dispatch() {
    auto& message = m_parser->get();
    // A transfer coding other than chunked last leaves the body's end
    // unknown: reading on would take the body for the next request.
    if (message.count(http::field::transfer_encoding) != 0 && !m_parser->chunked()) {
        ++m_core.counts.malformed;
        Refuse(400, "malformed request: unsupported transfer coding\n");
        return;
    }
    Disarm();
    m_phase = Phase::Handling;
    ++m_requests;
    m_keepAlive =
        m_parser->keep_alive() && m_requests < m_core.limits.keepAliveRequests && !m_core.stopping;
    m_http10 = message.version() == 10;

    auto request = std::make_shared<HttpRequest>();
    request->method = std::string(message.method_string());
    request->target = OriginForm(std::string(message.target()));
    request->path = request->target.substr(0, request->target.find('?'));
    for (const auto& field : message) {
        request->headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    request->body = std::move(message.body());
    request->remoteAddr = m_remoteAddr;
    request->remotePort = m_remotePort;
    request->localAddr = m_localAddr;
    request->localPort = m_localPort;
    m_parser.reset();

    const bool head = request->method == "HEAD";
    const HttpServer::Core::Route* route = m_core.Find(request->path, request->matches);
    if (route == nullptr || (request->method != "GET" && !head)) {
        HttpResponse response;
        if (route == nullptr) {
            response.status = 404;
            response.SetContent("not found\n", "text/plain");
        } else {
            response.status = 405;
            response.SetHeader("Allow", "GET, HEAD");
            response.SetContent("method not allowed\n", "text/plain");
        }
        Send(response, head);
        return;
    }
    if (route->run == HttpServer::Run::Inline) {
        Answer(*request, route);
        return;
    }
    m_core.pool.Post(
        [self = shared_from_this(), request, route] { self->Answer(*request, route); });
}

void Connection::Answer(const HttpRequest& request, const HttpServer::Core::Route* route) {
    auto response = std::make_shared<HttpResponse>();
    try {
        route->handler(request, *response);
    } catch (const std::exception& e) {
        *response = HttpResponse();
        response->status = 500;
        response->SetContent(std::string("internal error: ") + e.what() + "\n", "text/plain");
    }
    ++m_core.counts.requests;
    const bool head = request.IsHead();
    net::dispatch(m_socket.get_executor(),
                  [self = shared_from_this(), response, head] { self->Send(*response, head); });
}

void Connection::Send(const HttpResponse& response, bool head) {
    if (m_phase == Phase::Closed) {
        return;
    }
    if (m_core.stopping) {
        m_keepAlive = false;
    }
    m_phase = Phase::Sending;
    const bool noBody = StatusHasNoBody(response.status);
    m_out = "HTTP/1.1 " + std::to_string(response.status) + " " + StatusReason(response.status) +
            "\r\nDate: " + HttpDate(static_cast<int64_t>(std::time(nullptr))) + "\r\n";
    for (const auto& header : response.headers) {
        // The framing is the layer's.
        if (EqualsNoCase(header.first, "Content-Length") ||
            EqualsNoCase(header.first, "Transfer-Encoding") ||
            EqualsNoCase(header.first, "Connection") || EqualsNoCase(header.first, "Date")) {
            continue;
        }
        m_out += HeaderSafe(header.first) + ": " + HeaderSafe(header.second) + "\r\n";
    }
    if (!noBody) {
        m_out += "Content-Length: " + std::to_string(response.BodyLength()) + "\r\n";
    }
    if (!m_keepAlive) {
        m_out += "Connection: close\r\n";
    } else if (m_http10) {
        m_out += "Connection: keep-alive\r\n";
    }
    m_out += "\r\n";
    m_file.reset();
    if (!head && !noBody) {
        if (response.file) {
            m_file = response.file;
        } else {
            m_out += response.body;
        }
    }
    m_outSent = 0;
    m_fileSent = 0;
    m_fileStarted = Clock::now();
    SendBytes();
}

void Connection::SendBytes() {
    if (m_outSent < m_out.size()) {
        ArmDeadline(m_core.limits.sendTimeout);
        m_socket.async_write_some(net::buffer(m_out.data() + m_outSent, m_out.size() - m_outSent),
                                  [self = shared_from_this()](const error_code& ec, size_t bytes) {
                                      if (self->m_phase != Phase::Sending) {
                                          return;
                                      }
                                      if (ec) {
                                          self->Close();
                                          return;
                                      }
                                      self->m_outSent += bytes;
                                      self->SendBytes();
                                  });
        return;
    }
    if (m_file) {
        SendFile();
        return;
    }
    OnSent();
}

void Connection::SendFile() {
    if (m_phase != Phase::Sending) {
        return;
    }
    const FileBody& file = *m_file;
    uint64_t turn = 0;
    for (;;) {
        const uint64_t remaining = file.length - m_fileSent;
        if (remaining == 0) {
            OnSent();
            return;
        }
        uint64_t want = std::min<uint64_t>(remaining, kFileTurnBytes);
        if (file.bytesPerSecond != 0) {
            // Paced: each chunk (about an eighth of a second's worth) goes
            // when the bytes before it are due.
            const auto due =
                m_fileStarted + std::chrono::microseconds(static_cast<int64_t>(
                                    double(m_fileSent) * 1e6 / double(file.bytesPerSecond)));
            if (Clock::now() < due) {
                Arm(due, &Connection::SendFile);
                return;
            }
            want =
                std::min(want, std::clamp<uint64_t>(file.bytesPerSecond / 8, 1024, kPacedChunkMax));
        }
        off_t offset = static_cast<off_t>(file.offset + m_fileSent);
        const ssize_t sent = ::sendfile(m_socket.native_handle(), file.file->Fd(), &offset,
                                        static_cast<size_t>(want));
        if (sent > 0) {
            m_fileSent += static_cast<uint64_t>(sent);
            turn += static_cast<uint64_t>(sent);
            if (turn >= kFileTurnBytes && file.bytesPerSecond == 0) {
                net::post(m_socket.get_executor(),
                          [self = shared_from_this()] { self->SendFile(); });
                return;
            }
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            ArmDeadline(m_core.limits.sendTimeout);
            m_socket.async_wait(tcp::socket::wait_write,
                                [self = shared_from_this()](const error_code& ec) {
                                    if (self->m_phase != Phase::Sending) {
                                        return;
                                    }
                                    if (ec) {
                                        self->Close();
                                        return;
                                    }
                                    self->SendFile();
                                });
            return;
        }
        // The file shrank or cannot be read: the promised length cannot be
        // kept, so the client must see the answer cut short.
        Close();
        return;
    }
}

void Connection::OnSent() {
    m_file.reset();
    if (m_out.capacity() > 256 * 1024) {
        std::string().swap(m_out);
    } else {
        m_out.clear();
    }
    if (!m_keepAlive) {
        Drain();
        return;
    }
    BeginRequest(false);
}

void Connection::Refuse(int status, const std::string& text) {
    m_keepAlive = false;
    Disarm();
    HttpResponse response;
    response.status = status;
    response.SetContent(text, "text/plain");
    Send(response, false);
}

void Connection::Drain() {
    // Our side is done; reading what the client still sends (for a moment)
    // lets it see the answer instead of a reset.
    m_phase = Phase::Draining;
    error_code ec;
    m_socket.shutdown(tcp::socket::shutdown_send, ec);
    if (ec) {
        Close();
        return;
    }
    m_drained = m_buffer.size();
    m_buffer.consume(m_buffer.size());
    ArmDeadline(kDrainTime);
    Read();
}

void Connection::OnDeadline() {
    switch (m_phase) {
    case Phase::Idle:
        ++m_core.counts.idleClosed;
        Close();
        return;
    case Phase::Header:
    case Phase::Body: {
        ++m_core.counts.timedOut;
        error_code ec;
        m_socket.cancel(ec); // the pending read
        Refuse(408, "request timeout\n");
        return;
    }
    case Phase::Sending:
        ++m_core.counts.sendStalled;
        Close();
        return;
    case Phase::Draining:
        Close();
        return;
    case Phase::Handling:
    case Phase::Closed:
        return;
    }
}

void Connection::Close() {
    if (m_phase == Phase::Closed) {
        return;
    }
    m_phase = Phase::Closed;
    m_core.MarkBusy(this);
    Disarm();
    error_code ec;
    m_socket.shutdown(tcp::socket::shutdown_both, ec);
    m_socket.close(ec);
    m_file.reset();
}

} // namespace distd
