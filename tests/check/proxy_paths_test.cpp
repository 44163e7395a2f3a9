// The ways a check reaches a site through a proxy: the proxy environment variables, the manual
// settings of GNOME, MATE and KDE, and the error pages a proxy writes itself. Each case runs the
// page fetcher in a process of its own, with its own HOME and XDG folders and no desktop session
// unless the case gives it one: the variables that desktop's session sets, and its settings (for
// GNOME's schema, a private session bus and dconf database under dbus-run-session).

#include "tests/support/loopback_server.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using testsupport::LoopbackServer;

// A home and XDG folders of the probe's own, in `home`, and nothing else of this process's
// environment.
QProcessEnvironment privateHome(const QTemporaryDir& home)
{
    QProcessEnvironment variables;
    variables.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    variables.insert(QStringLiteral("HOME"), home.path());
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
        const QString folder = home.filePath(QLatin1String(name));
        QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        variables.insert(QLatin1String(name), folder);
    }
    return variables;
}

// Runs `argv` with `variables` and `environment` ("NAME=value" each), waits for it and returns
// what it printed.
std::string run(const std::vector<std::string>& argv, QProcessEnvironment variables,
    const std::vector<std::string>& environment)
{
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

    // A desktop's settings are read only where the session is that desktop's, as its session
    // manager and display manager present it. MATE keeps its proxy settings in GNOME's schema.
    enum class Desktop { None, Gnome, Mate, Kde };
    const std::map<Desktop, std::vector<std::string>> sessions = {
        {Desktop::Gnome, {"XDG_CURRENT_DESKTOP=GNOME", "DESKTOP_SESSION=gnome", "GNOME_DESKTOP_SESSION_ID=this-is-deprecated"}},
        {Desktop::Mate, {"XDG_CURRENT_DESKTOP=MATE", "DESKTOP_SESSION=mate", "MATE_DESKTOP_SESSION_ID=this-is-deprecated"}},
        {Desktop::Kde, {"XDG_CURRENT_DESKTOP=KDE", "DESKTOP_SESSION=plasma", "KDE_FULL_SESSION=true"}},
    };
    const std::string gnomeSettings = "gsettings set org.gnome.system.proxy mode manual"
        " && gsettings set org.gnome.system.proxy.http host 127.0.0.1"
        " && gsettings set org.gnome.system.proxy.http port " + std::to_string(proxy.port())
        + " && gsettings set org.gnome.system.proxy ignore-hosts \"['localhost']\""
        " && exec \"$@\"";
    const std::string kdeSettings = "[Proxy Settings]\nProxyType=1\nhttpProxy=http://127.0.0.1 "
        + std::to_string(proxy.port()) + "\nNoProxyFor=localhost\n";

    const struct {
        const char* name;
        std::vector<std::string> environment;
        Desktop desktop;
        std::string url;
        bool up;
        bool viaProxy;
    } paths[] = {
        {"http_proxy", {proxyVariable, "no_proxy=localhost"}, Desktop::None, site + "/page", true, true},
        {"no_proxy", {proxyVariable, "no_proxy=localhost"}, Desktop::None, siteByName + "/page", true, false},
        {"no_proxy=*", {proxyVariable, "no_proxy=*"}, Desktop::None, site + "/page", true, false},
        {"refused site, proxy's own page", {proxyVariable}, Desktop::None, "http://" + refused + "/page", false, true},
        {"site's own error page", {proxyVariable}, Desktop::None, site + "/error", true, true},
        {"Proxy-Status naming no error", {proxyVariable}, Desktop::None, site + "/forwarded-error", true, true},
        {"X-Squid-Error, ftp", {"ftp_proxy=" + proxyUrl}, Desktop::None, "ftp://" + refused + "/squid-error", false, true},
        {"X-Squid-Error on a redirect only", {proxyVariable}, Desktop::None, site + "/squid-redirect", true, true},
        {"http_proxy without a scheme", {"http_proxy=" + proxyWithoutScheme}, Desktop::None, site + "/page", true, true},
        {"FTP_PROXY without a scheme", {"FTP_PROXY=" + proxyWithoutScheme}, Desktop::None, "ftp://" + refused + "/page",
            true, true},
        {"no_proxy, proxy without a scheme", {"http_proxy=" + proxyWithoutScheme, "no_proxy=localhost"},
            Desktop::None, siteByName + "/page", true, false},
        // The desktop's choice stands: a variable without a scheme is not taken as curl takes it
        // there, and the environment's no_proxy does not pass by the desktop's proxy.
        {"GNOME manual", {"http_proxy=" + refused, "no_proxy=127.0.0.1"}, Desktop::Gnome, site + "/page", true, true},
        {"GNOME ignore-hosts", {}, Desktop::Gnome, siteByName + "/page", true, false},
        {"MATE manual", {"http_proxy=" + refused}, Desktop::Mate, site + "/page", true, true},
        {"KDE manual", {"http_proxy=" + refused}, Desktop::Kde, site + "/page", true, true},
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path.name);
        const QTemporaryDir home;
        const QProcessEnvironment variables = privateHome(home);
        std::vector<std::string> environment = path.environment;
        std::vector<std::string> argv{SENTRILO_FETCH_PROBE, path.url};
        if (path.desktop != Desktop::None)
            environment.insert(environment.end(), sessions.at(path.desktop).begin(), sessions.at(path.desktop).end());
        if (path.desktop == Desktop::Gnome || path.desktop == Desktop::Mate)
            argv.insert(argv.begin(), {"dbus-run-session", "--", "sh", "-c", gnomeSettings, "sh"});
        if (path.desktop == Desktop::Kde)
            std::ofstream(variables.value(QStringLiteral("XDG_CONFIG_HOME")).toStdString() + "/kioslaverc") << kdeSettings;
        const std::size_t before = proxy.requestCount();
        const std::string printed = run(argv, variables, environment);
        EXPECT_EQ(printed != "0\n", path.up) << printed;
        EXPECT_EQ(proxy.requestCount() > before, path.viaProxy) << proxy.lastRequestHead();
    }
}

} // namespace
