#pragma once

// A small synchronous internet client on libcurl: a session opens a URL and gives a response,
// whose body is read a piece at a time. A response that failed says why and reads nothing, so a
// caller can read it without checking first.

#include "check/system_proxy.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>

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

class CurlTransfer;

// What opening a URL gave: the transfer of its body, or the reason there is none. It owns all
// it needs, so it may outlive the session that opened it.
class InternetResponse {
public:
    InternetResponse(InternetResponse&&) noexcept;
    InternetResponse& operator=(InternetResponse&&) noexcept;
    ~InternetResponse();

    // Reads up to buffer.size() body bytes into `buffer` and returns their count: 0 once the body
    // is exhausted, and also on any failure, which the report then tells.
    std::size_t read(std::span<char> buffer);
    // How the request went, as far as it has gone.
    const InternetReport& report() const { return report_; }

private:
    friend class InternetSession;
    InternetResponse();

    std::unique_ptr<CurlTransfer> transfer_; // none once the request has failed
    InternetReport report_;
};

// A client that identifies itself as `agent`, keeps each request within `limits` and goes
// through the proxies `proxies` names, by default those configured on the system.
class InternetSession {
public:
    explicit InternetSession(std::string agent, InternetLimits limits = {}, ProxyLookup proxies = systemProxiesFor);

    // Looks the URL's proxies up, sends the request and returns once the final response's headers
    // have arrived. The response has no body when the URL cannot be fetched at all (bad or
    // unsupported URL, refused connection, time-out, an error page the proxy wrote itself, ...).
    // A proxy that cannot be connected to (unresolvable, refused, silent) gives way to the next
    // one named, and none may take the time the ones after it need. Nothing is ever served from a
    // cache.
    InternetResponse open(const std::string& url) const;

private:
    std::string agent_;
    InternetLimits limits_;
    ProxyLookup proxies_;
};

} // namespace check
