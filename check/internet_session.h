#pragma once

// A small synchronous internet client on libcurl: open a session, open a URL on it, read the
// body a piece at a time, close. A null handle stands for "none"; every operation accepts one
// and fails quietly, so a caller can run the four steps without checking in between.

#include "check/system_proxy.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// How long a check may take, however many proxies it tries: it always ends well inside the
// interval between two checks.
inline constexpr std::chrono::seconds kCheckBudget{48};

struct InternetLimits {
    // The longest one connection may take; less when several proxies share the time left.
    std::chrono::milliseconds connectTimeout{30'000};
    std::chrono::milliseconds totalTimeout = kCheckBudget;
    long maxRedirects = 20;
};

// Names the proxies to try for a URL, in order.
using ProxyLookup = std::function<ProxyList(const std::string& url)>;

// How a request went, for the check's diagnostics and for the cause of a site found down.
struct InternetReport {
    // The proxy of the last attempt, as libcurl takes it; empty for a direct connection.
    std::string proxy;
    // What ended the request: libcurl's code (CURLE_OK while nothing did) and its words for it.
    int error = 0;
    std::string message;
    // The answer was a page the proxy wrote itself, which tells nothing about the site.
    bool proxyErrorPage = false;
    // Every response came over https, its certificate verified: a captive portal cannot have
    // written any of them, not even a redirect to its own sign-in page.
    bool overHttps = false;
    // Why the proxy look-up named nothing, when it failed; the request then went direct.
    std::string proxyLookupProblem;
};

class InternetSession;
class InternetRequest;

struct InternetCloser {
    void operator()(InternetSession* session) const noexcept;
    void operator()(InternetRequest* request) const noexcept;
};

using SessionHandle = std::unique_ptr<InternetSession, InternetCloser>;
using RequestHandle = std::unique_ptr<InternetRequest, InternetCloser>;

// Opens a session that identifies itself as `agent` and goes through the proxies `proxies`
// names, by default those configured on the system. Null on failure.
SessionHandle internetOpen(std::string_view agent, const InternetLimits& limits = {},
    ProxyLookup proxies = systemProxiesFor);

// Looks the URL's proxies up, sends the request and returns once the final response's headers
// have arrived, or null when the URL cannot be fetched at all (bad or unsupported URL, refused
// connection, time-out, an error page the proxy wrote itself, ...). A proxy that cannot be
// connected to (unresolvable, refused, silent) gives way to the next one named, and none may
// take the time the ones after it need. Nothing is ever served from a cache. Tells how it went in
// `report`, when given.
RequestHandle internetOpenUrl(InternetSession* session, const std::string& url, InternetReport* report = nullptr);

// Reads up to buffer.size() body bytes into `buffer` and returns their count: 0 once the body is
// exhausted, and also on any failure or a null request. A failure is told in `report`, when given.
std::size_t internetReadFile(InternetRequest* request, std::span<char> buffer, InternetReport* report = nullptr);

// Releases a handle; a null one is left alone.
template <typename Handle>
void internetCloseHandle(Handle& handle) noexcept
{
    handle.reset();
}

} // namespace check
