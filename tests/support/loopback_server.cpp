#include "loopback_server.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <optional>
#include <system_error>
#include <utility>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

constexpr std::size_t kMaxHeadBytes = 64 * 1024;
constexpr std::size_t kChunkBytes = 64 * 1024;
constexpr int kListenBacklog = 128;
// How long a finished connection waits for the client to hang up. Closing a
// socket with unread input makes the kernel send RST, which can destroy
// response bytes the client has not read yet, so we drain first.
constexpr std::chrono::milliseconds kDrainLimit{2000};
// How often a relay waiting on the upstream looks whether the server is stopping.
constexpr int kRelayPollMilliseconds = 100;

[[noreturn]] void throwErrno(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

void closeFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

sockaddr_in loopbackAddress(std::uint16_t port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

std::uint16_t boundPort(int fd)
{
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throwErrno("getsockname");
    return ntohs(addr.sin_port);
}

// MSG_NOSIGNAL: a client hanging up must give us EPIPE, not kill the test run.
bool sendAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool sendAll(int fd, std::string_view s)
{
    return sendAll(fd, s.data(), s.size());
}

// 'a'..'z' repeating, with one extra period so that a chunk can start at any
// phase of the pattern and still be a single contiguous send.
const std::string& patternBuffer()
{
    static const std::string buffer = [] {
        std::string b(kChunkBytes + 26, '\0');
        for (std::size_t i = 0; i < b.size(); ++i)
            b[i] = static_cast<char>('a' + i % 26);
        return b;
    }();
    return buffer;
}

std::string_view reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 502: return "Bad Gateway";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    default: return "Unknown";
    }
}

struct Response {
    int status = 200;
    std::string contentType;
    std::string location;
    std::string extraHeader;  // one "Name: value" line, without its line end
    std::string body;
    bool hasLength = true;  // false: no Content-Length, body ends at close
};

std::string responseHead(const Response& r, std::uint64_t contentLength)
{
    std::string head = "HTTP/1.1 " + std::to_string(r.status) + ' ';
    head += reasonPhrase(r.status);
    head += "\r\n";
    if (!r.contentType.empty())
        head += "Content-Type: " + r.contentType + "\r\n";
    if (!r.location.empty())
        head += "Location: " + r.location + "\r\n";
    if (!r.extraHeader.empty())
        head += r.extraHeader + "\r\n";
    if (r.hasLength && r.status != 204)
        head += "Content-Length: " + std::to_string(contentLength) + "\r\n";
    head += "Connection: close\r\n\r\n";
    return head;
}

Response textResponse(int status, std::string contentType, std::string_view body)
{
    Response r;
    r.status = status;
    r.contentType = std::move(contentType);
    r.body = body;
    return r;
}

// Reduces an origin-form or absolute-form target to its path, without query
// or fragment.
std::string_view targetPath(std::string_view target)
{
    for (std::string_view scheme : {"http://", "https://", "ftp://"}) {
        if (target.starts_with(scheme)) {
            target.remove_prefix(scheme.size());
            const auto slash = target.find('/');
            target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
            break;
        }
    }
    const auto end = target.find_first_of("?#");
    return target.substr(0, end);
}

// The port of an absolute-form http target on this machine ("http://127.0.0.1:N/..." or
// "http://localhost:N/..."), unless it is `own`: such a request is forwarded there.
std::optional<std::uint16_t> forwardPort(std::string_view target, std::uint16_t own)
{
    for (std::string_view prefix : {"http://127.0.0.1:", "http://localhost:"}) {
        if (!target.starts_with(prefix))
            continue;
        target.remove_prefix(prefix.size());
        std::uint16_t port = 0;
        const auto [ptr, ec] = std::from_chars(target.data(), target.data() + target.size(), port);
        if (ec != std::errc() || port == own || (ptr != target.data() + target.size() && *ptr != '/'))
            return std::nullopt;
        return port;
    }
    return std::nullopt;
}

// The forwarded head: the same request with its target in origin form.
std::string originFormHead(std::string_view head, std::size_t targetStart, std::size_t targetEnd)
{
    const std::string_view target = head.substr(targetStart, targetEnd - targetStart);
    const auto authorityEnd = target.find('/', std::string_view("http://").size());
    const std::string_view path = authorityEnd == std::string_view::npos ? "/" : target.substr(authorityEnd);
    std::string out(head.substr(0, targetStart));
    out += path;
    out += head.substr(targetEnd);
    return out;
}

// A blocking connection to 127.0.0.1:port, or -1.
int connectLoopback(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const sockaddr_in addr = loopbackAddress(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Copies the upstream's answer to the client until the upstream closes, either side fails or
// the server stops.
void relay(int from, int to, const std::atomic<bool>& stopping)
{
    char buf[4096];
    while (!stopping.load(std::memory_order_relaxed)) {
        pollfd p{from, POLLIN, 0};
        const int r = ::poll(&p, 1, kRelayPollMilliseconds);
        if (r < 0 && errno != EINTR)
            return;
        if (r <= 0)
            continue;
        const ssize_t n = ::recv(from, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || !sendAll(to, buf, static_cast<std::size_t>(n)))
            return;
    }
}

bool parseSize(std::string_view digits, std::uint64_t& out)
{
    if (digits.empty())
        return false;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
    return ec == std::errc() && ptr == digits.data() + digits.size();
}

}  // namespace

struct LoopbackServer::Connection {
    int fd = -1;
    std::thread thread;
    // Set as the thread's last action so the accept loop can join it without
    // blocking.
    std::atomic<bool> done{false};
};

LoopbackServer::LoopbackServer()
{
    try {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (listenFd_ < 0)
            throwErrno("socket");
        const int on = 1;
        if (::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
            throwErrno("setsockopt(SO_REUSEADDR)");
        const sockaddr_in addr = loopbackAddress(0);
        if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
            throwErrno("bind");
        if (::listen(listenFd_, kListenBacklog) != 0)
            throwErrno("listen");
        port_ = boundPort(listenFd_);

        wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
        if (wakeFd_ < 0)
            throwErrno("eventfd");
        releaseFd_ = ::eventfd(0, EFD_CLOEXEC);
        if (releaseFd_ < 0)
            throwErrno("eventfd");

        acceptThread_ = std::thread(&LoopbackServer::acceptLoop, this);
    } catch (...) {
        closeFd(releaseFd_);
        closeFd(wakeFd_);
        closeFd(listenFd_);
        throw;
    }
}

LoopbackServer::~LoopbackServer()
{
    stopping_.store(true);
    const std::uint64_t one = 1;
    // Cannot fail short of a full counter, which one write never reaches.
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    acceptThread_.join();

    // The accept thread is gone, so connections_ is ours alone. Shutting the
    // sockets down wakes any thread blocked in recv/send/poll on them; the
    // descriptors stay open until the threads are joined so no number can be
    // reused under a running thread.
    for (auto& conn : connections_)
        ::shutdown(conn->fd, SHUT_RDWR);
    for (auto& conn : connections_) {
        conn->thread.join();
        closeFd(conn->fd);
    }
    connections_.clear();

    closeFd(listenFd_);
    closeFd(wakeFd_);
    closeFd(releaseFd_);
}

void LoopbackServer::release()
{
    const std::uint64_t one = 1;
    // Never read, so it stays readable for every held connection, now and later.
    [[maybe_unused]] const ssize_t n = ::write(releaseFd_, &one, sizeof one);
}

std::uint16_t LoopbackServer::port() const
{
    return port_;
}

std::string LoopbackServer::url(std::string_view path) const
{
    std::string u = "http://127.0.0.1:" + std::to_string(port_);
    u += path;
    return u;
}

std::size_t LoopbackServer::requestCount() const
{
    std::lock_guard lock(statsMutex_);
    return requestCount_;
}

std::string LoopbackServer::lastRequestHead() const
{
    std::lock_guard lock(statsMutex_);
    return lastHead_;
}

std::uint16_t LoopbackServer::unusedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throwErrno("socket");
    const sockaddr_in addr = loopbackAddress(0);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        const int saved = errno;
        ::close(fd);
        throw std::system_error(saved, std::generic_category(), "bind");
    }
    std::uint16_t port = 0;
    try {
        port = boundPort(fd);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return port;
}

void LoopbackServer::recordHead(std::string head)
{
    std::lock_guard lock(statsMutex_);
    ++requestCount_;
    lastHead_ = std::move(head);
}

void LoopbackServer::reapFinished()
{
    // Keeps a long benchmark run from piling up thousands of finished
    // threads and open descriptors.
    auto it = connections_.begin();
    while (it != connections_.end()) {
        Connection& conn = **it;
        if (conn.done.load(std::memory_order_acquire)) {
            conn.thread.join();
            closeFd(conn.fd);
            *it = std::move(connections_.back());
            connections_.pop_back();
        } else {
            ++it;
        }
    }
}

void LoopbackServer::acceptLoop()
{
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        if ((fds[0].revents & POLLIN) == 0)
            continue;

        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        reapFinished();
        if (fd < 0) {
            // The client may already have given up (the listener is
            // non-blocking for exactly this case); on descriptor exhaustion
            // back off instead of spinning on a still-readable listener.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }

        // Heads and bodies go out in separate sends; without this, Nagle plus
        // delayed ACKs can add tens of milliseconds per request.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);

        try {
            connections_.push_back(std::make_unique<Connection>());
        } catch (...) {
            ::close(fd);
            continue;
        }
        Connection& conn = *connections_.back();
        conn.fd = fd;
        try {
            conn.thread = std::thread(&LoopbackServer::serve, this, std::ref(conn));
        } catch (...) {
            ::close(fd);
            connections_.pop_back();
        }
    }
}

void LoopbackServer::serve(Connection& conn)
{
    const int fd = conn.fd;
    char buf[4096];

    // Waits for the peer to close (or for the destructor's shutdown),
    // discarding whatever it sends. Unbounded for /silent, bounded otherwise.
    auto drain = [&](bool bounded) {
        const auto deadline = std::chrono::steady_clock::now() + kDrainLimit;
        for (;;) {
            if (bounded) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0)
                    return;
                pollfd p{fd, POLLIN, 0};
                const int r = ::poll(&p, 1, static_cast<int>(left.count()));
                if (r < 0 && errno == EINTR)
                    continue;
                if (r <= 0)
                    return;
            }
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
        }
    };

    auto finish = [&](bool bounded) {
        ::shutdown(fd, SHUT_WR);
        drain(bounded);
        conn.done.store(true, std::memory_order_release);
    };

    // Read up to and including the blank line that ends the head.
    std::string data;
    std::size_t headEnd = std::string::npos;
    while (headEnd == std::string::npos) {
        if (data.size() > kMaxHeadBytes) {
            const Response r = textResponse(431, "text/plain", "Request head too large\n");
            sendAll(fd, responseHead(r, r.body.size()) + r.body);
            finish(true);
            return;
        }
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            conn.done.store(true, std::memory_order_release);
            return;
        }
        const std::size_t searchFrom = data.size() >= 3 ? data.size() - 3 : 0;
        data.append(buf, static_cast<std::size_t>(n));
        const auto pos = data.find("\r\n\r\n", searchFrom);
        if (pos != std::string::npos)
            headEnd = pos + 4;
    }
    data.resize(headEnd);  // any request body is not ours to look at
    recordHead(data);

    // Request line: METHOD SP TARGET SP VERSION
    const std::string_view head(data);
    const std::string_view line = head.substr(0, head.find("\r\n"));
    const auto sp1 = line.find(' ');
    const auto sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || sp2 == sp1 + 1) {
        const Response r = textResponse(400, "text/plain", "Bad request\n");
        sendAll(fd, responseHead(r, r.body.size()) + r.body);
        finish(true);
        return;
    }
    const std::string_view method = line.substr(0, sp1);
    const std::string_view path = targetPath(line.substr(sp1 + 1, sp2 - sp1 - 1));
    const bool withBody = method != "HEAD";

    if (const auto upstream = forwardPort(line.substr(sp1 + 1, sp2 - sp1 - 1), port_)) {
        const int up = connectLoopback(*upstream);
        if (up < 0) {
            // What a proxy answers for a site that refuses connections, marked as its own page.
            Response r = textResponse(502, "text/html", kProxyErrorBody);
            r.extraHeader = kProxyRefusedStatus;
            sendAll(fd, responseHead(r, r.body.size()) + (withBody ? r.body : std::string()));
        } else {
            if (sendAll(up, originFormHead(data, sp1 + 1, sp2)))
                relay(up, fd, stopping_);
            ::close(up);
        }
        finish(true);
        return;
    }

    constexpr std::string_view bytesPrefix = "/bytes/";
    std::uint64_t streamLength = 0;
    if (path.starts_with(bytesPrefix) && parseSize(path.substr(bytesPrefix.size()), streamLength)) {
        Response r;
        r.contentType = "application/octet-stream";
        if (!sendAll(fd, responseHead(r, streamLength)) || !withBody) {
            finish(true);
            return;
        }
        const std::string& pattern = patternBuffer();
        std::uint64_t sent = 0;
        while (sent < streamLength && !stopping_.load(std::memory_order_relaxed)) {
            const std::size_t n = static_cast<std::size_t>(
                std::min<std::uint64_t>(streamLength - sent, kChunkBytes));
            if (!sendAll(fd, pattern.data() + sent % 26, n))
                break;
            sent += n;
        }
        finish(true);
        return;
    }

    if (path == "/endless") {
        Response r;
        r.contentType = "application/octet-stream";
        r.hasLength = false;
        if (sendAll(fd, responseHead(r, 0)) && withBody) {
            const std::string& pattern = patternBuffer();
            std::uint64_t sent = 0;
            while (!stopping_.load(std::memory_order_relaxed)
                   && sendAll(fd, pattern.data() + sent % 26, kChunkBytes)) {
                sent += kChunkBytes;
            }
        }
        finish(true);
        return;
    }

    if (path == "/silent") {
        drain(false);
        conn.done.store(true, std::memory_order_release);
        return;
    }

    if (path == "/held") {
        // Answers once released; the peer closing or the server stopping ends the wait too.
        pollfd waits[] = {{fd, POLLIN, 0}, {releaseFd_, POLLIN, 0}};
        while (::poll(waits, 2, -1) < 0 && errno == EINTR) {
        }
        if (waits[1].revents & POLLIN) {
            const Response r = textResponse(200, "text/html", kPageBody);
            sendAll(fd, responseHead(r, r.body.size()) + r.body);
        }
        finish(true);
        return;
    }

    Response r;
    if (path == "/page") {
        r = textResponse(200, "text/html", kPageBody);
    } else if (path == "/empty") {
        r = textResponse(200, "text/html", "");
    } else if (path == "/nocontent") {
        r.status = 204;
    } else if (path == "/error") {
        r = textResponse(500, "text/html", kErrorBody);
    } else if (path == "/redirect") {
        r = textResponse(302, "text/html", "<a href=\"/page\">moved</a>\n");
        r.location = "/page";
    } else if (path == "/loop") {
        r = textResponse(302, "text/html", "<a href=\"/loop\">moved</a>\n");
        r.location = "/loop";
    } else if (path == "/squid-error") {
        r = textResponse(404, "text/html", kProxyErrorBody);
        r.extraHeader = "X-Squid-Error: ERR_FTP_NOT_FOUND 0";
    } else if (path == "/squid-redirect") {
        r = textResponse(302, "text/html", kProxyErrorBody);
        r.extraHeader = "X-Squid-Error: ERR_ACCESS_DENIED 0";
        r.location = "/page";
    } else if (path == "/forwarded-error") {
        r = textResponse(500, "text/html", kErrorBody);
        r.extraHeader = "Proxy-Status: cache.test; received-status=500; details=\"the site's own page; error=none\"";
    } else if (path == "/to-file") {
        r = textResponse(302, "text/html", "<a href=\"file:///etc/hostname\">moved</a>\n");
        r.location = "file:///etc/hostname";
    } else {
        r = textResponse(404, "text/plain", "Not found\n");
    }
    std::string out = responseHead(r, r.body.size());
    if (withBody)
        out += r.body;
    sendAll(fd, out);
    finish(true);
}

}  // namespace testsupport
