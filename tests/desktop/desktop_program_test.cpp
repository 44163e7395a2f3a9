// The real program, started as a user starts it, from a folder of its own, on a private desktop
// (see with-desktop), and driven only from outside: keys, clicks and the window manager.
#include "tests/support/loopback_server.h"
#include "tests/support/scratch.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

// Runs a desktop tool to its end; false when it failed. What it printed goes to `output`.
bool run(const QString& program, const QStringList& arguments, QString* output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30'000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return false;
    if (output != nullptr)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    return true;
}

QString tool(const QString& program, const QStringList& arguments)
{
    QString output;
    run(program, arguments, &output);
    return output;
}

bool xdotool(const QStringList& arguments)
{
    return run(QStringLiteral("xdotool"), arguments);
}

// The session with-desktop --wayland gives: Wayland with an X display too, as on GNOME and
// KDE, where Qt on its own would pick Wayland. The user has chosen no platform.
QProcessEnvironment waylandSession()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return environment;
}

} // namespace

class DesktopProgramTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void platformIsX11UnlessTheUserChose_data();
    void platformIsX11UnlessTheUserChose();
    void watchesOpensTheSponsorAndClosesAfterItsCheck();

private:
    void start(const QProcessEnvironment& environment);
    QString waitForWindow() const;
    QByteArray log() const;
    QString property(const QString& window, const char* name) const;

    std::unique_ptr<Scratch> scratch;
    std::unique_ptr<QDir> folder; // the scratch's: the program, its log and a stand-in opener
    std::unique_ptr<QProcess> program;
};

void DesktopProgramTest::init()
{
    scratch = std::make_unique<Scratch>();
    folder = std::make_unique<QDir>(QString::fromStdString(scratch->path().string()));
    QVERIFY(QFile::copy(QStringLiteral(SENTRILO_EXECUTABLE), folder->filePath(QStringLiteral("sentrilo"))));
    QVERIFY(QFile::setPermissions(folder->filePath(QStringLiteral("sentrilo")),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    // A stand-in browser first on PATH: it writes down the environment it was given, then its
    // working folder and what it was asked to open.
    QVERIFY(folder->mkdir(QStringLiteral("bin")));
    QFile opener(folder->filePath(QStringLiteral("bin/xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nenv > \"$(dirname \"$0\")/opened.env.tmp\"\n"
                 "echo \"$(pwd) $*\" >> \"$(dirname \"$0\")/opened.env.tmp\"\n"
                 "mv \"$(dirname \"$0\")/opened.env.tmp\" \"$(dirname \"$0\")/opened.env\"\n");
    opener.close();
    QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

void DesktopProgramTest::cleanup()
{
    if (program) {
        program->kill();
        program->waitForFinished();
    }
    program.reset();
    folder.reset();
}

void DesktopProgramTest::start(const QProcessEnvironment& environment)
{
    program = std::make_unique<QProcess>();
    program->setProcessEnvironment(environment);
    program->setProcessChannelMode(QProcess::MergedChannels);
    program->start(folder->filePath(QStringLiteral("sentrilo")), {});
    QVERIFY(program->waitForStarted());
}

QString DesktopProgramTest::waitForWindow() const
{
    return tool(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--classname"), QStringLiteral("^sentrilo$")})
        .section(u'\n', 0, 0);
}

QByteArray DesktopProgramTest::log() const
{
    return QByteArray::fromStdString(logIn(scratch->path()));
}

QString DesktopProgramTest::property(const QString& window, const char* name) const
{
    return tool(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("-notype"), QLatin1String(name)});
}

void DesktopProgramTest::platformIsX11UnlessTheUserChose_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing chosen, Xwayland's display named") << QString() << QStringLiteral("xcb");
    QTest::newRow("the user's choice") << QStringLiteral("offscreen") << QStringLiteral("offscreen");
    QTest::newRow("the user's choice of Wayland") << QStringLiteral("wayland") << QStringLiteral("wayland-generic");
}

void DesktopProgramTest::platformIsX11UnlessTheUserChose()
{
    QCOMPARE(qgetenv("XDG_SESSION_TYPE"), QByteArray("wayland"));
    QFETCH(QString, chosen);
    QFETCH(QString, expected);
    QProcessEnvironment environment = waylandSession();
    if (!chosen.isEmpty())
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), chosen);
    environment.insert(QStringLiteral("QT_DEBUG_PLUGINS"), QStringLiteral("1"));
    start(environment);

    // Qt names every plugin it loads; the platform's is the one under platforms/.
    const QRegularExpression loaded(QStringLiteral(R"(platforms/libq([\w-]+)\.so" loaded library)"));
    QByteArray output;
    QRegularExpressionMatch match;
    while (!(match = loaded.match(QString::fromLocal8Bit(output))).hasMatch()) {
        QVERIFY2(program->waitForReadyRead(30'000), output.constData());
        output += program->readAll();
    }
    QCOMPARE(match.captured(1), expected);
}

void DesktopProgramTest::watchesOpensTheSponsorAndClosesAfterItsCheck()
{
    testsupport::LoopbackServer server;
    QProcessEnvironment environment = waylandSession();
    environment.insert(QStringLiteral("PATH"), folder->filePath(QStringLiteral("bin")) + u':'
        + environment.value(QStringLiteral("PATH")));
    start(environment);
    const QString window = waitForWindow();
    QVERIFY(!window.isEmpty());
    QCOMPARE(property(window, "_NET_WM_NAME"), QStringLiteral(R"(_NET_WM_NAME = "Vorn Sentrilo")"));
    // The class is the one its desktop entry names, so docks group the window under the entry.
    QCOMPARE(property(window, "WM_CLASS"), QStringLiteral(R"(WM_CLASS = "sentrilo", ")" SENTRILO_ENTRY_CLASS "\""));

    // The URL box has the focus at start-up; Tab reaches the button.
    const auto watch = [&](const std::string& url) {
        return xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window})
            && xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")})
            && xdotool({QStringLiteral("type"), QString::fromStdString(url)})
            && xdotool({QStringLiteral("key"), QStringLiteral("Tab"), QStringLiteral("space")});
    };
    QVERIFY(watch(server.url("/page")));
    QTRY_COMPARE_WITH_TIMEOUT(log().count("Status: SITE OK ("), 1, 30'000);
    QVERIFY(log().startsWith(QByteArray::fromStdString(server.url("/page") + " Status: SITE OK (")));

    // The banner lies along the bottom of the window; the browser it starts must make its own
    // choice of platform, not inherit the program's.
    const QString geometry = tool(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    const QRegularExpressionMatch size = QRegularExpression(QStringLiteral("WIDTH=(\\d+)\nHEIGHT=(\\d+)")).match(geometry);
    QVERIFY2(size.hasMatch(), qPrintable(geometry));
    QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
        QString::number(size.captured(1).toInt() / 2), QString::number(size.captured(2).toInt() - 10),
        QStringLiteral("click"), QStringLiteral("1")}));
    QFile opened(folder->filePath(QStringLiteral("bin/opened.env")));
    QTRY_VERIFY_WITH_TIMEOUT(opened.exists(), 30'000);
    QVERIFY(opened.open(QIODevice::ReadOnly));
    const QByteArray openedWith = opened.readAll();
    QVERIFY2(openedWith.contains((folder->path() + QStringLiteral(" http://www.yondrel.example/\n")).toLocal8Bit()),
        openedWith.constData());
    QVERIFY2(!openedWith.contains("QT_QPA_PLATFORM="), openedWith.constData());

    // Stop, then watch a site that holds its answer, and close the window while it does.
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("space"), QStringLiteral("shift+Tab")}));
    const std::size_t requests = server.requestCount();
    QVERIFY(watch(server.url("/held")));
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(), requests + 1, 30'000);
    QVERIFY(run(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"), window}));
    // The window manager takes requests in order: once it has done the next one, it has passed
    // the close on to the program.
    QVERIFY(run(QStringLiteral("wmctrl"), {QStringLiteral("-n"), QStringLiteral("3")}));
    QTRY_COMPARE_WITH_TIMEOUT(tool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("-notype"),
        QStringLiteral("_NET_NUMBER_OF_DESKTOPS")}), QStringLiteral("_NET_NUMBER_OF_DESKTOPS = 3"), 30'000);
    QCOMPARE(program->state(), QProcess::Running);
    server.release();

    QVERIFY(program->waitForFinished(30'000));
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), 0);
    QCOMPARE(log().count("<BR>\n\r\n"), 2);
    QVERIFY(log().contains(QByteArray::fromStdString(server.url("/held") + " Status: SITE OK (")));
}

QTEST_GUILESS_MAIN(DesktopProgramTest)
#include "desktop_program_test.moc"
