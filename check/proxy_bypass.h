#pragma once

#include <string_view>

namespace check {

// Whether a no_proxy list sends the URL host `host` (an IPv6 one in brackets or not) on `port`
// past the proxy, as libproxy reads the list: entries separated by commas, each a name
// ("site.test" itself, ".site.test" or "*.site.test" for the names that end so), optionally with
// ":port"; an address or a network ("10.0.0.0/8", "fd00::/8", "10.0.0.0/255.0.0.0"); or
// "__simple_hostnames__" for every name without a dot. A list that starts with "-" names the
// hosts that do go through the proxy.
bool bypassesProxy(std::string_view list, std::string_view host, unsigned port);

} // namespace check
