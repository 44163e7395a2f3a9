#pragma once

// The proxies a check goes through, as the system is configured: the desktop's own settings
// (GNOME, MATE, KDE) or the proxy environment variables, read through libproxy; a variable without
// a scheme is read as curl reads it, no_proxy included. The environment is read, and changed only
// for the moment prepareProxyLookup() makes libproxy's factory in a MATE session, so the programs
// a user starts from here see it as it was.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace check {

// One proxy to try, as a libcurl proxy string; "" stands for a direct connection.
struct ProxyEntry {
    ProxyEntry(std::string proxy = {}, bool curlAppliesNoProxy = false)
        : proxy(std::move(proxy)), curlAppliesNoProxy(curlAppliesNoProxy)
    {
    }
    bool operator==(const ProxyEntry&) const = default;

    std::string proxy;
    // libcurl itself passes by the proxy for the hosts the environment's no_proxy names, by its
    // own rules and for every redirect; otherwise the look-up has already decided.
    bool curlAppliesNoProxy;
};

// The proxies to try for a URL, in order, and why the look-up named none when it failed.
struct ProxyList {
    ProxyList(std::vector<ProxyEntry> entries = {}, std::string problem = {})
        : entries(std::move(entries)), problem(std::move(problem))
    {
    }

    std::vector<ProxyEntry> entries;
    std::string problem;
};

// To be called before the program starts any thread. On libproxy 0.5 (Debian 13) a MATE session's
// settings are read only by a factory made while XDG_CURRENT_DESKTOP names GNOME as well, so
// there the factory is made now, with the variable changed for that moment. Everywhere else it is
// made at the first look-up, so that start-up never waits for libproxy's helpers.
void prepareProxyLookup();

// The proxies to try for `url`, in order. Never empty: a look-up that fails means direct, and
// says why.
ProxyList systemProxiesFor(const std::string& url);

// One of libproxy's answers ("direct://", "http://host:port", "socks://host:port", ...) as a
// libcurl proxy string, or nullopt for a kind of proxy libcurl cannot use.
std::optional<std::string> curlProxyFor(std::string_view answer);

} // namespace check
