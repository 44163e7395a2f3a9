#pragma once

// The proxies a check goes through, as the system is configured: the desktop's own settings
// (GNOME, KDE) or the proxy environment variables, read through libproxy; a variable without a
// scheme is read as curl reads it. The environment is only ever read, never changed, so the
// programs a user starts from here see it as it was.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// The proxies to try for `url`, in order, each as a libcurl proxy string; "" stands for a
// direct connection. Never empty: a look-up that fails means direct.
std::vector<std::string> systemProxiesFor(const std::string& url);

// One of libproxy's answers ("direct://", "http://host:port", "socks://host:port", ...) as a
// libcurl proxy string, or nullopt for a kind of proxy libcurl cannot use.
std::optional<std::string> curlProxyFor(std::string_view answer);

} // namespace check
