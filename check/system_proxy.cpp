#include "system_proxy.h"

#include <proxy.h>

#include <algorithm>
#include <array>
#include <cctype>
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

std::string lowercase(std::string_view text)
{
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// curl and wget read no_proxy=* as "no proxy for any host"; libproxy 0.4 takes the star for a
// host name, so the usual way of turning proxies off would be lost on it.
bool proxiesSwitchedOff()
{
    const char* list = std::getenv("no_proxy");
    if (list == nullptr)
        list = std::getenv("NO_PROXY");
    if (list == nullptr)
        return false;
    std::string_view value(list);
    const auto first = value.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return false;
    value = value.substr(first, value.find_last_not_of(" \t") - first + 1);
    return value == "*";
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
    const std::string scheme = lowercase(answer.substr(0, schemeEnd));
    const std::string_view rest = answer.substr(schemeEnd);
    if (scheme == kDirect)
        return std::string();
    if (scheme == kSocksUnstated)
        return std::string(kSocksAssumed) + std::string(rest);
    if (std::ranges::find(kCurlProxySchemes, scheme) != kCurlProxySchemes.end())
        return scheme + std::string(rest);
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
