#include "tests/support/loopback_server.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <regex>
#include <system_error>
#include <thread>

namespace testsupport {

namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;
// The request as a proxy receives it: an absolute-form target naming another port here.
const std::regex kForwarded(R"(http://(?:127\.0\.0\.1|localhost):(\d+)(/.*)?)");
// What the library adds to a request's headers on its own.
constexpr std::string_view kAddresses[] = {"REMOTE_ADDR", "REMOTE_PORT", "LOCAL_ADDR", "LOCAL_PORT"};
// Hop-by-hop framing the relay leaves to the server that sends the answer on.
constexpr std::string_view kFraming[] = {"Content-Length", "Transfer-Encoding", "Connection", "Keep-Alive"};

// 'a'..'z' repeating, one period longer than a chunk so that a chunk can start at any phase.
const std::string& pattern()
{
    static const std::string buffer = [] {
        std::string b(kChunkBytes + 26, '\0');
        for (std::size_t i = 0; i < b.size(); ++i)
            b[i] = static_cast<char>('a' + i % 26);
        return b;
    }();
    return buffer;
}

// A route's path, also matched when the target came in absolute form, as a proxy gets it.
std::string at(std::string_view path)
{
    return "(?:[a-z]+://[^/]*)?" + std::string(path);
}

// `headers` without those named in `names`.
template <std::size_t N>
httplib::Headers without(httplib::Headers headers, const std::string_view (&names)[N])
{
    for (std::string_view name : names)
        headers.erase(std::string(name));
    return headers;
}

void page(httplib::Response& response, int status, std::string_view body, const char* header = nullptr,
          const char* value = nullptr)
{
    response.status = status;
    if (header != nullptr)
        response.set_header(header, value);
    response.set_content(std::string(body), "text/html");
}

// Passes `request` on to 127.0.0.1:`upstreamPort` as a forwarding proxy does, and its answer back.
void relay(const httplib::Request& request, std::uint16_t upstreamPort, const std::string& path,
           httplib::Response& response)
{
    httplib::Client upstream("127.0.0.1", upstreamPort);
    upstream.set_url_encode(false);
    httplib::Request onward;
    onward.method = request.method;
    onward.path = path;
    onward.headers = without(request.headers, kAddresses);
    const httplib::Result answer = upstream.send(onward);
    if (!answer) {
        // What a proxy answers for a site that refuses connections, marked as its own page.
        page(response, 502, kProxyErrorBody, "Proxy-Status", "loopback.test; error=connection_refused");
        return;
    }
    response.status = answer->status;
    response.headers = without(answer->headers, kFraming);
    response.body = answer->body;
}

}  // namespace

struct LoopbackServer::Impl {
    httplib::Server server;
    std::uint16_t port = 0;
    std::thread thread;

    std::mutex mutex;
    std::condition_variable heldWait;
    bool released = false;
    std::atomic<bool> stopping{false};
    std::size_t requestCount = 0;
    std::string lastHead;

    void route();
    // Holds a request until release() (when `releasable`) or the server stops; true if released.
    bool hold(bool releasable);
};

void LoopbackServer::Impl::route()
{
    server.Get(at("/page"), [](const auto&, auto& response) { page(response, 200, kPageBody); });
    server.Get(at("/empty"), [](const auto&, auto& response) { page(response, 200, ""); });
    server.Get(at("/nocontent"), [](const auto&, auto& response) { response.status = 204; });
    server.Get(at("/error"), [](const auto&, auto& response) { page(response, 500, kErrorBody); });
    server.Get(at("/redirect"), [](const auto&, auto& response) { response.set_redirect("/page"); });
    server.Get(at("/loop"), [](const auto&, auto& response) { response.set_redirect("/loop"); });
    server.Get(at("/to-file"), [](const auto&, auto& response) { response.set_redirect("file:///etc/hostname"); });
    server.Get(at("/squid-error"), [](const auto&, auto& response) {
        page(response, 404, kProxyErrorBody, "X-Squid-Error", "ERR_FTP_NOT_FOUND 0");
    });
    server.Get(at("/squid-redirect"), [](const auto&, auto& response) {
        page(response, 302, kProxyErrorBody, "X-Squid-Error", "ERR_ACCESS_DENIED 0");
        response.set_header("Location", "/page");
    });
    server.Get(at("/forwarded-error"), [](const auto&, auto& response) {
        page(response, 500, kErrorBody, "Proxy-Status",
             "cache.test; received-status=500; details=\"the site's own page; error=none\"");
    });
    server.Get(at(R"(/bytes/(\d+))"), [this](const auto& request, auto& response) {
        response.set_content_provider(std::stoull(request.matches[1]), "application/octet-stream",
            [this](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                return !stopping && sink.write(pattern().data() + offset % 26, std::min(length, kChunkBytes));
            });
    });
    server.Get(at("/endless"), [this](const auto&, auto& response) {
        response.set_chunked_content_provider("application/octet-stream",
            [this](std::size_t offset, httplib::DataSink& sink) {
                return !stopping && sink.write(pattern().data() + offset % 26, kChunkBytes);
            });
    });
    server.Get(at("/held"), [this](const auto&, auto& response) {
        if (hold(true))
            page(response, 200, kPageBody);
    });
    server.Get(at("/silent"), [this](const auto&, auto&) { hold(false); });
    server.Get(".*", [](const auto&, auto& response) { page(response, 404, "Not found\n"); });
    // Counts and keeps each request before anything answers it; passes a proxy's request on.
    server.set_pre_routing_handler([this](const auto& request, auto& response) {
        std::string head = request.method + ' ' + request.target + ' ' + request.version + "\r\n";
        for (const auto& [name, value] : without(request.headers, kAddresses))
            head += name + ": " + value + "\r\n";
        {
            std::lock_guard lock(mutex);
            ++requestCount;
            lastHead = head + "\r\n";
        }
        std::smatch forwarded;
        if (!std::regex_match(request.target, forwarded, kForwarded) || std::stoi(forwarded[1]) == port)
            return httplib::Server::HandlerResponse::Unhandled;
        relay(request, static_cast<std::uint16_t>(std::stoi(forwarded[1])),
                forwarded[2].length() > 0 ? forwarded[2].str() : "/", response);
        return httplib::Server::HandlerResponse::Handled;
    });
}

bool LoopbackServer::Impl::hold(bool releasable)
{
    std::unique_lock lock(mutex);
    heldWait.wait(lock, [&] { return (releasable && released) || stopping; });
    return releasable && released;
}

LoopbackServer::LoopbackServer() : impl_(std::make_unique<Impl>())
{
    impl_->route();
    impl_->server.set_keep_alive_max_count(1);
    impl_->server.set_tcp_nodelay(true);
    const int port = impl_->server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        throw std::system_error(EADDRNOTAVAIL, std::generic_category(), "bind");
    impl_->port = static_cast<std::uint16_t>(port);
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
    // stop() only stops a server that has started.
    while (!impl_->server.is_running())
        std::this_thread::yield();
}

LoopbackServer::~LoopbackServer()
{
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->heldWait.notify_all();
    impl_->server.stop();
    impl_->thread.join();
}

std::uint16_t LoopbackServer::port() const
{
    return impl_->port;
}

std::string LoopbackServer::url(std::string_view path) const
{
    return "http://127.0.0.1:" + std::to_string(impl_->port) + std::string(path);
}

std::size_t LoopbackServer::requestCount() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->requestCount;
}

std::string LoopbackServer::lastRequestHead() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->lastHead;
}

void LoopbackServer::release()
{
    {
        std::lock_guard lock(impl_->mutex);
        impl_->released = true;
    }
    impl_->heldWait.notify_all();
}

std::uint16_t LoopbackServer::unusedPort()
{
    // The port a server had until it stopped a moment ago.
    return LoopbackServer().port();
}

}  // namespace testsupport
