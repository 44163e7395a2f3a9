#include "proxy_bypass.h"

#include <gtest/gtest.h>

namespace {

TEST(ProxyBypass, NoProxyEntriesNameHostsPortsAndNetworks)
{
    const struct {
        const char* list;
        const char* host;
        unsigned port;
        bool bypassed;
    } cases[] = {
        {"localhost", "localhost", 80, true},
        {"other.test, SITE.test", "site.test", 80, true},
        {"site.test", "www.site.test", 80, false},
        {".site.test", "www.site.test", 80, true},
        {"*site.test", "mysite.test", 80, true},
        {"site.test:8080", "site.test", 8080, true},
        {"site.test:8080", "site.test", 80, false},
        {"10.0.0.0/8", "10.1.2.3", 80, true},
        {"10.0.0.0/255.255.0.0", "10.1.2.3", 80, false},
        {"fd00::/8", "[fd12::1]", 443, true},
        {"::1", "[::1]", 443, true},
        {"__simple_hostnames__", "intranet", 80, true},
        {"-site.test", "other.test", 80, true},
    };
    for (const auto& entry : cases)
        EXPECT_EQ(check::bypassesProxy(entry.list, entry.host, entry.port), entry.bypassed)
            << entry.list << " / " << entry.host << ':' << entry.port;
}

} // namespace
