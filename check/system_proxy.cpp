#include "system_proxy.h"

#include "ascii_text.h"

#include <proxy.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

namespace check {

namespace {

constexpr std::string_view kSchemeEnd = "://";
constexpr std::string_view kDirect = "direct";

// libproxy's own word for a SOCKS proxy of unstated version, as GNOME's settings give it.
constexpr std::string_view kSocksUnstated = "socks";
// SOCKS 5, which nearly every SOCKS server speaks, with the names resolved by the proxy: on a
// network that needs one, names often resolve only beyond it.
constexpr std::string_view kSocksAssumed = "socks5h";

constexpr std::array<std::string_view, 6> kCurlProxySchemes = {
    "http", "https", "socks4", "socks4a", "socks5", "socks5h"};

struct FactoryFree {
    void operator()(pxProxyFactory* factory) const noexcept { px_proxy_factory_free(factory); }
};

struct AnswersFree {
    void operator()(char** answers) const noexcept { px_proxy_factory_free_proxies(answers); }
};

// One for the program's life: libproxy caches the desktop's settings in it and follows their
// changes. Made at the first check, so a program that never checks never starts its helpers.
pxProxyFactory* factory()
{
    static const std::unique_ptr<pxProxyFactory, FactoryFree> instance(px_proxy_factory_new());
    return instance.get();
}

// curl and wget read no_proxy=* as "no proxy for any host"; libproxy 0.4 takes the star for a
// host name, so the usual way of turning proxies off would be lost on it.
bool proxiesSwitchedOff()
{
    const char* list = std::getenv("no_proxy");
    if (list == nullptr)
        list = std::getenv("NO_PROXY");
    return list != nullptr && trimmed(list) == "*";
}

} // namespace

std::optional<std::string> curlProxyFor(std::string_view answer)
{
    const auto schemeEnd = answer.find(kSchemeEnd);
    // "host:port" with no scheme, as a proxy variable may hold it: an http proxy, as for curl.
    if (schemeEnd == std::string_view::npos) {
        if (answer.empty())
            return std::nullopt;
        return "http" + std::string(kSchemeEnd) + std::string(answer);
    }
    const std::string_view scheme = answer.substr(0, schemeEnd);
    const auto is = [&](std::string_view known) { return equalsIgnoringCase(scheme, known); };
    if (is(kDirect))
        return std::string();
    if (is(kSocksUnstated))
        return std::string(kSocksAssumed) + std::string(answer.substr(schemeEnd));
    // libcurl reads the scheme without regard to case, as libproxy passes it on.
    if (std::ranges::any_of(kCurlProxySchemes, is))
        return std::string(answer);
    return std::nullopt;
}

std::vector<std::string> systemProxiesFor(const std::string& url)
{
    const std::vector<std::string> direct{std::string()};
    if (proxiesSwitchedOff())
        return direct;
    try {
        pxProxyFactory* proxies = factory();
        if (proxies == nullptr)
            return direct;
        const std::unique_ptr<char*, AnswersFree> answers(px_proxy_factory_get_proxies(proxies, url.c_str()));
        if (!answers)
            return direct;
        std::vector<std::string> usable;
        for (char** answer = answers.get(); *answer != nullptr; ++answer) {
            if (std::optional<std::string> proxy = curlProxyFor(*answer))
                usable.push_back(std::move(*proxy));
        }
        // Nothing libcurl can use is as good as a failed look-up.
        return usable.empty() ? direct : usable;
    } catch (...) {
        return direct;
    }
}

} // namespace check
