// The ways a check reaches a site through a proxy: the proxy environment variables, GNOME's
// manual setting, and the error pages a proxy writes itself. Each case runs the page fetcher in
// a process of its own, with its own HOME and XDG folders and no desktop session unless the case
// starts one (a private session bus and dconf database under dbus-run-session).

#include "tests/support/loopback_server.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace {

using testsupport::LoopbackServer;

// Runs `argv` with a home and XDG folders of its own, and otherwise only `environment`; returns
// what it printed.
std::string run(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    QTemporaryDir home;
    QProcessEnvironment variables;
    variables.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    variables.insert(QStringLiteral("HOME"), home.path());
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
        const QString folder = home.filePath(QLatin1String(name));
        QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        variables.insert(QLatin1String(name), folder);
    }
    for (const std::string& variable : environment) {
        const QString text = QString::fromStdString(variable);
        variables.insert(text.section(u'=', 0, 0), text.section(u'=', 1));
    }
    QStringList arguments;
    for (const std::string& argument : argv)
        arguments << QString::fromStdString(argument);
    QProcess process;
    process.setProcessEnvironment(variables);
    process.start(arguments.takeFirst(), arguments);
    if (!process.waitForFinished() || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error("cannot run " + argv.front());
    return process.readAllStandardOutput().toStdString();
}

TEST(ProxyPaths, SystemSettingsAndProxyErrorPages)
{
    LoopbackServer origin;
    LoopbackServer proxy;
    const std::string port = std::to_string(origin.port());
    const std::string site = "http://127.0.0.1:" + port;
    const std::string siteByName = "http://localhost:" + port;
    const std::string refused = "127.0.0.1:" + std::to_string(LoopbackServer::unusedPort());
    const std::string proxyUrl = proxy.url("");
    const std::string proxyVariable = "http_proxy=" + proxyUrl;
    // As many set it, and as curl and wget take it: an http proxy.
    const std::string proxyWithoutScheme = "127.0.0.1:" + std::to_string(proxy.port());

    // GNOME's settings are read only where the session says it is GNOME's.
    const std::string gnomeSettings = "gsettings set org.gnome.system.proxy mode manual"
        " && gsettings set org.gnome.system.proxy.http host 127.0.0.1"
        " && gsettings set org.gnome.system.proxy.http port " + std::to_string(proxy.port())
        + " && gsettings set org.gnome.system.proxy ignore-hosts \"['localhost']\""
        " && exec \"$@\"";

    const struct {
        const char* name;
        std::vector<std::string> environment;
        bool gnome;
        std::string url;
        bool up;
        bool viaProxy;
    } paths[] = {
        {"http_proxy", {proxyVariable, "no_proxy=localhost"}, false, site + "/page", true, true},
        {"no_proxy", {proxyVariable, "no_proxy=localhost"}, false, siteByName + "/page", true, false},
        {"no_proxy=*", {proxyVariable, "no_proxy=*"}, false, site + "/page", true, false},
        {"refused site, proxy's own page", {proxyVariable}, false, "http://" + refused + "/page", false, true},
        {"site's own error page", {proxyVariable}, false, site + "/error", true, true},
        {"Proxy-Status naming no error", {proxyVariable}, false, site + "/forwarded-error", true, true},
        {"X-Squid-Error, ftp", {"ftp_proxy=" + proxyUrl}, false, "ftp://" + refused + "/squid-error", false, true},
        {"X-Squid-Error on a redirect only", {proxyVariable}, false, site + "/squid-redirect", true, true},
        {"http_proxy without a scheme", {"http_proxy=" + proxyWithoutScheme}, false, site + "/page", true, true},
        {"FTP_PROXY without a scheme", {"FTP_PROXY=" + proxyWithoutScheme}, false, "ftp://" + refused + "/page", true, true},
        {"no_proxy, proxy without a scheme", {"http_proxy=" + proxyWithoutScheme, "no_proxy=localhost"}, false,
            siteByName + "/page", true, false},
        // The desktop's choice stands alone: the environment neither adds a proxy nor a bypass.
        {"GNOME manual", {"http_proxy=" + refused, "no_proxy=127.0.0.1"}, true, site + "/page", true, true},
        {"GNOME ignore-hosts", {}, true, siteByName + "/page", true, false},
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path.name);
        std::vector<std::string> environment = path.environment;
        std::vector<std::string> argv{SENTRILO_FETCH_PROBE, path.url};
        if (path.gnome) {
            environment.push_back("DESKTOP_SESSION=gnome");
            argv.insert(argv.begin(), {"dbus-run-session", "--", "sh", "-c", gnomeSettings, "sh"});
        }
        const std::size_t before = proxy.requestCount();
        const std::string printed = run(argv, environment);
        EXPECT_EQ(printed != "0\n", path.up) << printed;
        EXPECT_EQ(proxy.requestCount() > before, path.viaProxy) << proxy.lastRequestHead();
    }
}

} // namespace
