#include "check/system_proxy.h"

#include "check/ascii_text.h"
#include "check/typed_url.h"

#include <proxy.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <exception>
#include <memory>

#include <dlfcn.h>

namespace check {

namespace {

constexpr std::string_view kDirect = "direct";

// libproxy's own word for a SOCKS proxy of unstated version, as GNOME's settings give it.
constexpr std::string_view kSocksUnstated = "socks";
// SOCKS 5, which nearly every SOCKS server speaks, with the names resolved by the proxy: on a
// network that needs one, names often resolve only beyond it.
constexpr std::string_view kSocksAssumed = "socks5h";

constexpr std::array<std::string_view, 6> kCurlProxySchemes = {
    "http", "https", "socks4", "socks4a", "socks5", "socks5h"};

// How libproxy tells a GNOME, MATE or KDE session, whose own settings it reads instead of the
// proxy variables. 0.4 (Debian 12) goes by the session's variables; MATE keeps its proxy settings
// in GNOME's schema, which 0.4 reads there too.
constexpr std::array<std::string_view, 3> kGnomeSessions = {"gnome", "gnome-wayland", "mate"};
constexpr const char* kGnomeSessionId = "GNOME_DESKTOP_SESSION_ID";
constexpr const char* kKdeSession = "KDE_FULL_SESSION";
// 0.5 (Debian 13) goes by the desktops XDG_CURRENT_DESKTOP lists, looking for these in it.
constexpr const char* kCurrentDesktop = "XDG_CURRENT_DESKTOP";
constexpr std::array<std::string_view, 2> kDesktopsRead = {"GNOME", "KDE"};

struct FactoryFree {
    void operator()(pxProxyFactory* factory) const noexcept { px_proxy_factory_free(factory); }
};

struct AnswersFree {
    void operator()(char** answers) const noexcept { px_proxy_factory_free_proxies(answers); }
};

// libproxy 0.5 added this function. A program built against 0.4 runs on 0.5 too, so the version
// is told at run time.
bool libproxyReadsCurrentDesktop()
{
    static const bool newer = ::dlsym(RTLD_DEFAULT, "px_proxy_factory_get_type") != nullptr;
    return newer;
}

// The desktops XDG_CURRENT_DESKTOP lists, "" where it is unset.
std::string_view currentDesktops()
{
    const char* desktops = std::getenv(kCurrentDesktop);
    return desktops != nullptr ? desktops : "";
}

// As libproxy 0.5 looks for a desktop in the list: anywhere in it.
bool mentions(std::string_view desktops, std::string_view desktop)
{
    return desktops.find(desktop) != std::string_view::npos;
}

bool inMateSession()
{
    return (':' + std::string(currentDesktops()) + ':').find(":MATE:") != std::string::npos;
}

// libproxy 0.5 reads GNOME's settings only where XDG_CURRENT_DESKTOP names GNOME, and decides so
// when the factory is made; a MATE user's settings would be lost on it.
bool factoryNeedsGnomeNamed()
{
    return libproxyReadsCurrentDesktop() && inMateSession() && !mentions(currentDesktops(), "GNOME");
}

// So in a MATE session the factory is made while the variable names GNOME as well, and the
// variable is given back at once. Only before the program starts any thread (see
// prepareProxyLookup), so that nothing reads the environment meanwhile.
pxProxyFactory* factoryWithGnomeNamed()
{
    const std::string own(currentDesktops());
    ::setenv(kCurrentDesktop, (own + ":GNOME").c_str(), 1);
    pxProxyFactory* made = px_proxy_factory_new();
    ::setenv(kCurrentDesktop, own.c_str(), 1);
    return made;
}

// One for the program's life: libproxy caches the desktop's settings in it and follows their
// changes. Made by the first call, and `gnomeNamed` counts there only: prepareProxyLookup() makes
// it so in a MATE session, and elsewhere the first look-up makes it as it is.
pxProxyFactory* factory(bool gnomeNamed = false)
{
    static const std::unique_ptr<pxProxyFactory, FactoryFree> instance(
        gnomeNamed ? factoryWithGnomeNamed() : px_proxy_factory_new());
    return instance.get();
}

// A proxy variable in its lower-case spelling, else its upper-case one, as libproxy reads them.
const char* variable(const char* lower, const char* upper)
{
    const char* value = std::getenv(lower);
    return value != nullptr ? value : std::getenv(upper);
}

// curl and wget read no_proxy=* as "no proxy for any host"; libproxy 0.4 takes the star for a
// host name, so the usual way of turning proxies off would be lost on it.
bool proxiesSwitchedOff()
{
    const char* list = variable("no_proxy", "NO_PROXY");
    return list != nullptr && trimmed(list) == "*";
}

bool desktopSettingsApply()
{
    if (libproxyReadsCurrentDesktop()) {
        // MATE's settings are read as prepareProxyLookup() arranges.
        const auto named = [](std::string_view desktop) { return mentions(currentDesktops(), desktop); };
        return std::ranges::any_of(kDesktopsRead, named) || inMateSession();
    }
    const char* session = std::getenv("DESKTOP_SESSION");
    const auto isSession = [&](std::string_view name) { return session != nullptr && session == name; };
    return std::getenv(kGnomeSessionId) != nullptr || std::getenv(kKdeSession) != nullptr
        || std::ranges::any_of(kGnomeSessions, isSession);
}

// The variable libproxy reads for a URL of `scheme`: ftp and https have their own, and fall back
// on http's.
const char* proxyVariableFor(std::string_view scheme)
{
    const char* value = nullptr;
    if (equalsIgnoringCase(scheme, "ftp"))
        value = variable("ftp_proxy", "FTP_PROXY");
    else if (equalsIgnoringCase(scheme, "https"))
        value = variable("https_proxy", "HTTPS_PROXY");
    return value != nullptr ? value : variable("http_proxy", "HTTP_PROXY");
}

// A proxy variable without a scheme ("127.0.0.1:3128") names an http proxy to curl and wget;
// libproxy reads some such values as no proxy at all. Where the variables are what libproxy
// reads, such a value is taken as curl takes it, and libcurl applies no_proxy to it as curl
// does. Nullopt where libproxy's answer stands.
std::optional<ProxyEntry> schemelessVariableProxy(std::string_view url)
{
    if (desktopSettingsApply())
        return std::nullopt;
    // A URL that libcurl accepts starts with its scheme.
    const char* proxy = proxyVariableFor(url.substr(0, url.find(':')));
    if (proxy == nullptr || *proxy == '\0' || std::string_view(proxy).find(kSchemeEnd) != std::string_view::npos)
        return std::nullopt;
    return ProxyEntry("http" + std::string(kSchemeEnd) + proxy, true);
}

} // namespace

void prepareProxyLookup()
{
    if (factoryNeedsGnomeNamed())
        factory(true);
}

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

ProxyList systemProxiesFor(const std::string& url)
{
    // A failed look-up goes direct, as a browser does, and says why.
    const auto direct = [](std::string problem = {}) { return ProxyList({ProxyEntry()}, std::move(problem)); };
    if (proxiesSwitchedOff())
        return direct();
    try {
        if (std::optional<ProxyEntry> fromVariable = schemelessVariableProxy(url))
            return ProxyList({std::move(*fromVariable)});
        pxProxyFactory* proxies = factory();
        if (proxies == nullptr)
            return direct("libproxy could not be started");
        const std::unique_ptr<char*, AnswersFree> answers(px_proxy_factory_get_proxies(proxies, url.c_str()));
        if (!answers)
            return direct("libproxy gave no answer");
        // libproxy has applied the bypass list already.
        std::vector<ProxyEntry> usable;
        std::string unusable;
        for (char** answer = answers.get(); *answer != nullptr; ++answer) {
            if (std::optional<std::string> proxy = curlProxyFor(*answer))
                usable.push_back(std::move(*proxy));
            else
                unusable += (unusable.empty() ? "" : " ") + withoutPassword(*answer);
        }
        // Nothing libcurl can use is as good as a failed look-up.
        if (usable.empty())
            return direct("libproxy named no proxy libcurl can use: " + unusable);
        return ProxyList(std::move(usable));
    } catch (const std::exception& error) {
        return direct(std::string("the proxy look-up failed: ") + error.what());
    }
}

} // namespace check
