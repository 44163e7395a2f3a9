// What the desktop itself sees of the windows: run on a real X server with a window manager
// (see with-desktop), with the check engine replaced where a test needs to steer it.
#include "check/page_fetcher.h"
#include "tests/desktop/notification_standin.h"
#include "tests/desktop/screen_reader.h"
#include "tests/desktop/watcher_standin.h"
#include "tests/desktop/x11_probe.h"
#include "tests/support/loopback_server.h"
#include "tests/support/main_window_test_base.h"
#include "ui/application.h"
#include "ui/widgets/click_label.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Time-outs well beyond any wait a test makes, so a check ends when its server answers.
check::InternetLimits heldLimits()
{
    check::InternetLimits limits;
    limits.connectTimeout = 10s;
    limits.totalTimeout = 60s;
    return limits;
}

// Until the server has the request: from then on the check holds the program.
void awaitRequest(const testsupport::LoopbackServer& server)
{
    for (int i = 0; i < 3000 && server.requestCount() == 0; ++i)
        std::this_thread::sleep_for(10ms);
}

xcb_window_t xid(const QWidget* window)
{
    return static_cast<xcb_window_t>(window->winId());
}

// The topmost of the windows the window manager stacks, as xprop reads it.
xcb_window_t topOfStack()
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    xprop.waitForFinished();
    return QString::fromLatin1(xprop.readAllStandardOutput()).split(u' ').last().trimmed().toUInt(nullptr, 0);
}

// Runs `gdbus call` on the session bus with `arguments` and returns its answer in gdbus's words.
// A status indicator answers on the window's thread, which handles events meanwhile.
QString gdbusCall(const QStringList& arguments)
{
    QProcess gdbus;
    gdbus.start(QStringLiteral("gdbus"), QStringList{QStringLiteral("call"), QStringLiteral("--session")} + arguments);
    if (QThread::currentThread() == qApp->thread())
        (void)QTest::qWaitFor([&] { return gdbus.state() == QProcess::NotRunning; }, 10'000);
    gdbus.waitForFinished();
    return QString::fromUtf8(gdbus.readAllStandardOutput());
}

// Calls the status indicator `item` as a panel does.
QString callIndicator(const QString& item, const QStringList& call)
{
    return gdbusCall(QStringList{QStringLiteral("--dest"), item, QStringLiteral("--object-path"),
                         QStringLiteral("/StatusNotifierItem"), QStringLiteral("--method")}
        + call);
}

// The indicator's tooltip and picture as a panel reads them.
std::pair<QString, QString> viewIndicator(const QString& item)
{
    const auto get = [&](const char* property) {
        return callIndicator(item, {QStringLiteral("org.freedesktop.DBus.Properties.Get"),
            QStringLiteral("org.kde.StatusNotifierItem"), QLatin1String(property)});
    };
    return {get("ToolTip"), get("IconPixmap")};
}

} // namespace

class DesktopMainWindowTest : public MainWindowTestBase {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init() override;

    void titlesHintsAndIconsAreWhatTheDesktopReads();
    void checksWhileMinimizedMarkRingAndNotify();
    void anAlertHeldBackStillReachesTheUser();
    void theBoxesCanBeNeitherMinimizedNorMaximized();
    void inputDuringACheckWaitsForIt();
    void theWindowStaysAliveDuringACheck();
    void aTickDueDuringACheckRunsAfterIt();
    void screenReadersHearEachNewStatus();
    void theIndicatorFollowsTheWatch();
    void theBoxesNeverHideTheMainWindow();
    // Run on its own, in a session without a bus (see CMakeLists.txt).
    void withoutABusTheCheckStillLogs();

private:
    void requestMinimize(const QWidget* target);
    void minimize(QWidget* target);

    std::unique_ptr<X11Probe> probe;
    std::unique_ptr<DisplayPeer> peer;
    NotificationStandIn notifications;
    WatcherStandIn watcher;
    bool haveBus = false;
};

void DesktopMainWindowTest::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ui::setupApplication();
    probe = std::make_unique<X11Probe>();
    haveBus = QDBusConnection::sessionBus().isConnected();
    if (haveBus) {
        QVERIFY(notifications.start());
        QVERIFY(watcher.start());
    }
}

void DesktopMainWindowTest::init()
{
    // A peer of its own for each test, so no other program's window outlasts the test it was
    // shown in.
    peer = std::make_unique<DisplayPeer>();
    MainWindowTestBase::init();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    peer->takeBellCount(probe->connection());
}

// Asks the window manager to iconify the window, as a taskbar does.
void DesktopMainWindowTest::requestMinimize(const QWidget* target)
{
    QCOMPARE(std::system(("xdotool windowminimize " + std::to_string(xid(target))).c_str()), 0);
}

// The window manager iconifies the window, the program only hears of it.
void DesktopMainWindowTest::minimize(QWidget* target)
{
    requestMinimize(target);
    QTRY_VERIFY(probe->iconic(xid(target)));
}

void DesktopMainWindowTest::titlesHintsAndIconsAreWhatTheDesktopReads()
{
    trigger("aboutAction");
    trigger("sponsorAction");
    QWidget* about = topLevel("aboutBox");
    QWidget* sponsor = topLevel("sponsorBox");
    QVERIFY(about != nullptr && sponsor != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QVERIFY(QTest::qWaitForWindowExposed(sponsor));

    const struct {
        QWidget* window;
        const char* title;
        bool inTaskbar;
    } rows[] = {{window.get(), "Vorn Sentrilo", true}, {about, "About the Sentrilo", false},
        {sponsor, "About Yondrel", false}};
    for (const auto& row : rows) {
        const xcb_window_t id = xid(row.window);
        QTRY_COMPARE(probe->netWmName(id), QString::fromLatin1(row.title));
        // The class is the one the desktop entry names (the instance is the executable's name).
        QCOMPARE(probe->wmClass(id).value(1), QStringLiteral(SENTRILO_ENTRY_CLASS));
        QCOMPARE(probe->fixedSize(id), row.window->size());
        const std::vector<QSize> icons = probe->iconSizes(id);
        QVERIFY2(std::find(icons.begin(), icons.end(), QSize(32, 32)) != icons.end(), row.title);
        QVERIFY2(std::find(icons.begin(), icons.end(), QSize(16, 16)) != icons.end(), row.title);
        QCOMPARE(probe->hasState(id, "_NET_WM_STATE_SKIP_TASKBAR"), !row.inTaskbar);
        QCOMPARE(probe->hasState(id, "_NET_WM_STATE_SKIP_PAGER"), !row.inTaskbar);
    }

    // Closed and shown again, a box is new to the window manager and must say it again.
    about->close();
    QTRY_VERIFY(!about->isVisible());
    trigger("aboutAction");
    QTRY_VERIFY(probe->hasState(xid(about), "_NET_WM_STATE_SKIP_TASKBAR"));
}

void DesktopMainWindowTest::checksWhileMinimizedMarkRingAndNotify()
{
    typeUrl(QStringLiteral("http://127.0.0.1:9/a?b&c"));
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    peer->takeBellCount(probe->connection()); // the first check: down, no change

    const qsizetype notifiedBefore = notifications.calls().size();
    const struct {
        const char* body;
        bool change;
    } rows[] = {{"x", true}, {"x", false}, {"", true}, {"", false}, {"x", true}};
    const xcb_window_t id = xid(window.get());
    for (const auto& row : rows) {
        const bool shown = !probe->iconic(id);
        minimize(window.get());
        if (shown)
            QCOMPARE(probe->netWmName(id), QStringLiteral("Vorn Sentrilo")); // minimizing alone changes nothing
        body = row.body;
        const qsizetype notified = notifications.calls().size();
        QSignalSpy titles(window.get(), &QWidget::windowTitleChanged);
        window->checkNow();
        QCOMPARE(notifications.calls().size(), notified); // sent, but no answer was waited for

        const char* marker = *row.body ? "[Site OK]" : "[Site Down]";
        QCOMPARE(peer->takeBellCount(probe->connection()), row.change ? 1 : 0);
        if (row.change) {
            QTRY_VERIFY(!probe->iconic(id));
            // In front and active: Qt asks for that only once the window is mapped again, so a
            // minimize sent before would be undone by it.
            QTRY_COMPARE(probe->activeWindow(), id);
            QTRY_COMPARE(probe->netWmName(id), QStringLiteral("Vorn Sentrilo"));
            // The marker first; the restore then brings the title back.
            QCOMPARE(titles.value(0).value(0).toString(), QString::fromLatin1(marker));
            if (haveBus) {
                QTRY_COMPARE(notifications.calls().size(), notified + 1);
                const NotificationStandIn::Call& call = notifications.calls().last();
                QCOMPARE(call.appName, QStringLiteral("Vorn Sentrilo"));
                QCOMPARE(call.summary, QString::fromLatin1(marker));
                // Plain text to a service that reads markup: the URL's "&" arrives escaped. Why the
                // site is down comes last.
                QCOMPARE(call.body, QStringLiteral("http://127.0.0.1:9/a?b&amp;c\n")
                        + statusLine()->text().toHtmlEscaped()
                        + (*row.body ? QString() : QStringLiteral("\nThe answer was empty.")));
                QCOMPARE(call.icon, QStringLiteral("sentrilo"));
                QCOMPARE(call.desktopEntry, QStringLiteral(SENTRILO_ENTRY_CLASS));
                const qsizetype index = notifications.calls().size() - 1;
                QCOMPARE(call.replacesId, index > 0 ? notifications.calls().at(index - 1).id : 0u);
            }
        } else {
            QTRY_COMPARE(probe->netWmName(id), QString::fromLatin1(marker));
            QVERIFY2(probe->iconic(id), "no change of verdict: the window stays minimized");
        }
    }
    // Calls arrive in the order they were made, so one made for a check without a change would
    // have been counted by the time the last change's call arrived.
    if (haveBus)
        QCOMPARE(notifications.calls().size(), notifiedBefore + 3);

    // The user restores the window from the taskbar: the title comes back.
    minimize(window.get());
    window->checkNow();
    QTRY_COMPARE(probe->netWmName(id), QStringLiteral("[Site OK]"));
    peer->activate(id);
    QTRY_VERIFY(!probe->iconic(id));
    QTRY_COMPARE(probe->netWmName(id), QStringLiteral("Vorn Sentrilo"));
}

void DesktopMainWindowTest::anAlertHeldBackStillReachesTheUser()
{
    if (!haveBus)
        QSKIP("the notification is posted on the session bus");
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    QTest::mouseClick(startStopButton(), Qt::LeftButton); // down: no change
    const xcb_window_t id = xid(window.get());
    // Minimized while the user works in another program: a window manager may hold the alert's
    // restore back. The title then follows what it decided, and a held-back window wants attention.
    for (const char* up : {"x", ""}) {
        minimize(window.get());
        QVERIFY(peer->takeFocus());
        body = up;
        const qsizetype notified = notifications.calls().size();
        window->checkNow();
        QCOMPARE(peer->takeBellCount(probe->connection()), 1);
        QTRY_COMPARE(notifications.calls().size(), notified + 1);
        window->checkNow(); // no change: the marker if and only if still minimized
        const QString marker = QLatin1String(*up ? "[Site OK]" : "[Site Down]");
        QTRY_VERIFY2(probe->iconic(id) ? probe->netWmName(id) == marker
                    && probe->hasState(id, "_NET_WM_STATE_DEMANDS_ATTENTION")
                                       : probe->netWmName(id) == QLatin1String("Vorn Sentrilo"),
            qPrintable(QStringLiteral("minimized %1, demanding attention %2, titled %3")
                           .arg(probe->iconic(id))
                           .arg(probe->hasState(id, "_NET_WM_STATE_DEMANDS_ATTENTION"))
                           .arg(probe->netWmName(id))));

        // A click on the notification brings the window forward over the other program.
        minimize(window.get());
        QVERIFY(peer->takeFocus());
        const NotificationStandIn::Call& call = notifications.calls().last();
        QCOMPARE(call.actions.value(0), QStringLiteral("default"));
        notifications.click(call.id, QStringLiteral("sentrilo-test_TIME%1").arg(peer->serverTime()));
        QTRY_VERIFY(!probe->iconic(id));
        QTRY_COMPARE(probe->activeWindow(), id);
        QTRY_COMPARE(topOfStack(), id);
        QTRY_COMPARE(probe->netWmName(id), QStringLiteral("Vorn Sentrilo"));
        QTRY_VERIFY(!probe->hasState(id, "_NET_WM_STATE_DEMANDS_ATTENTION"));
    }
}

void DesktopMainWindowTest::theBoxesCanBeNeitherMinimizedNorMaximized()
{
    for (const auto& [menu, name] : {std::pair{"aboutAction", "aboutBox"}, std::pair{"sponsorAction", "sponsorBox"}}) {
        trigger(menu);
        // Qt activates a box only once it is up, which would bring it back from a minimize.
        QWidget* box = topLevel(name);
        QVERIFY(QTest::qWaitForWindowActive(box));
        const xcb_window_t id = xid(box);
        // Once the window manager has listed what it allows (closing), none of these is listed.
        QTRY_VERIFY(probe->allows(id, "_NET_WM_ACTION_CLOSE"));
        for (const char* action :
            {"_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT"})
            QVERIFY2(!probe->allows(id, action), action);
    }
    const QWidget* boxes[] = {topLevel("aboutBox"), topLevel("sponsorBox")};
    for (const QWidget* box : boxes)
        requestMinimize(box);
    // The window manager handles requests in turn: by the time it iconifies the main window, asked
    // last, it has refused the boxes.
    minimize(window.get());
    for (const QWidget* box : boxes)
        QVERIFY(!probe->iconic(xid(box)));
}

void DesktopMainWindowTest::inputDuringACheckWaitsForIt()
{
    testsupport::LoopbackServer server;
    QStringList handled;
    connect(child<ui::ClickLabel>("sponsorBanner"), &ui::ClickLabel::clicked, this, [&] { handled << QStringLiteral("banner"); });
    connect(startStopButton(), &QPushButton::clicked, this, [&] { handled << QStringLiteral("button"); });
    QStringList handledByTheEnd;
    fetch = [&](const std::string& url) {
        check::Page page = check::fetchPage(url, heldLimits());
        // On the window's own thread, as the check's last moment.
        QMetaObject::invokeMethod(window.get(), [&] { handledByTheEnd = handled; }, Qt::BlockingQueuedConnection);
        return page;
    };
    typeUrl(QString::fromStdString(server.url("/held")));

    // While the check holds the program: a click on the banner, then Space on the focused
    // button, sent as a user would, from outside; then the server answers.
    const QPoint banner = child<QLabel>("sponsorBanner")->mapTo(window.get(), child<QLabel>("sponsorBanner")->rect().center());
    const std::string click = "xdotool mousemove --window " + std::to_string(xid(window.get())) + ' '
        + std::to_string(banner.x()) + ' ' + std::to_string(banner.y()) + " click 1 key space";
    bool injected = false;
    std::thread user([&] {
        awaitRequest(server);
        injected = std::system(click.c_str()) == 0;
        server.release();
    });
    startStopButton()->setFocus();
    QTest::keyClick(startStopButton(), Qt::Key_Space); // Start: the check runs now
    user.join();

    QVERIFY(injected);
    QCOMPARE(handledByTheEnd, QStringList()); // the Start that began it is recorded when done
    QVERIFY(statusLine()->text().startsWith(QStringLiteral("Status: SITE OK (")));
    // Handled once the check is over, in the order they came: the banner's page opens, then
    // Space stops the watch.
    QTRY_COMPARE(handled, (QStringList{QStringLiteral("button"), QStringLiteral("banner"), QStringLiteral("button")}));
    QCOMPARE(opened, QStringList{folder + QStringLiteral("|http://www.yondrel.example/")});
    QCOMPARE(startStopButton()->text(), QStringLiteral("Start"));
    QCOMPARE(log().count("<BR>\n\r\n"), 1);
}

void DesktopMainWindowTest::theWindowStaysAliveDuringACheck()
{
    testsupport::LoopbackServer server;
    fetch = [&](const std::string& url) { return check::fetchPage(url, heldLimits()); };
    trigger("aboutAction");
    QWidget* about = topLevel("aboutBox");
    QVERIFY(QTest::qWaitForWindowExposed(about));
    typeUrl(QString::fromStdString(server.url("/held")));

    // While the check holds the program, a window manager pings both windows and another
    // window passes over each; the server answers only after.
    const xcb_window_t main = xid(window.get());
    const xcb_window_t box = xid(about);
    bool pingsAnswered = false;
    bool mainRepainted = false;
    bool boxRepainted = false;
    std::thread desktop([&] {
        awaitRequest(server);
        DisplayPeer manager;
        pingsAnswered = manager.ping(main, 10s) && manager.ping(box, 10s) && manager.ping(main, 10s);
        mainRepainted = manager.repaintsWhenUncovered(main, 10s);
        boxRepainted = manager.repaintsWhenUncovered(box, 10s);
        server.release();
    });
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    desktop.join();

    QVERIFY(pingsAnswered);
    QVERIFY(mainRepainted);
    QVERIFY(boxRepainted);
    QVERIFY(statusLine()->text().startsWith(QStringLiteral("Status: SITE OK (")));
}

void DesktopMainWindowTest::aTickDueDuringACheckRunsAfterIt()
{
    std::atomic<int> checks = 0;
    std::atomic<bool> checking = false;
    std::atomic<bool> overlapped = false;
    fetch = [&](const std::string&) {
        overlapped = overlapped || checking.exchange(true);
        if (++checks == 2)
            std::this_thread::sleep_for(300ms); // a check long enough for ticks to fall due
        checking = false;
        return check::Page("up");
    };
    pollTimer()->setInterval(10);
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    QTRY_VERIFY(checks >= 3);
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    QVERIFY2(!overlapped, "a tick started a check inside another");
}

void DesktopMainWindowTest::screenReadersHearEachNewStatus()
{
    if (!haveBus)
        QSKIP("the accessibility bridge lives on the session bus");
    // QT_LINUX_ACCESSIBILITY_ALWAYS_ON (see CMakeLists.txt) turns the bridge on as a screen
    // reader would; it is live once it has reached the accessibility bus.
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 30'000);
    ScreenReader reader;
    QVERIFY(reader.listen());
    // The bridge sends a kind of event once the registry has told it someone listens: until the
    // reader hears the status line, it speaks again. The bus keeps order, so once its latest
    // words are heard nothing older is still on the way.
    auto* status = statusLine();
    for (int said = 0; reader.names.isEmpty() && said < 100; ++said) {
        status->setText(QStringLiteral("Status: %1").arg(said));
        QTest::qWait(100);
    }
    QTRY_COMPARE(reader.names.value(reader.names.size() - 1), status->text());
    reader.names.clear();

    // The site answers once the reader has read the first news, while it still stands.
    const int before = reader.read;
    fetch = [&](const std::string&) {
        for (int i = 0; i < 1000 && reader.read == before; ++i)
            std::this_thread::sleep_for(10ms);
        return check::Page();
    };
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    window->checkNow();
    QTRY_COMPARE(reader.names.filter(QStringLiteral("Status: ")),
        (QStringList{QStringLiteral("Status: Connecting..."), status->text()}));
    QVERIFY(status->text().startsWith(QStringLiteral("Status: SITE DOWN (")));
}

void DesktopMainWindowTest::theIndicatorFollowsTheWatch()
{
    if (!haveBus)
        QSKIP("a panel reads the indicator over the session bus");
    QTRY_VERIFY2(watcher.item().isEmpty(), "an indicator before Start");
    // The window asked the watcher when it was made; the answer is in once a later one is.
    QVERIFY(gdbusCall(QStringLiteral("--dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher "
                                     "--method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "
                                     "ProtocolVersion")
                .split(u' '))
            .contains(u"<0>"));

    std::pair<QString, QString> during;
    fetch = [&](const std::string&) {
        // The indicator tells the watcher of itself without waiting for it.
        for (int i = 0; i < 1000 && watcher.item().isEmpty(); ++i)
            std::this_thread::sleep_for(10ms);
        during = viewIndicator(watcher.item());
        return body;
    };
    std::map<std::string, QString> pictures;
    // A mark shows one picture each time, and no other mark shows it.
    const auto shows = [&](const std::string& mark, const QString& picture) {
        const auto [known, added] = pictures.try_emplace(mark, picture);
        return !picture.isEmpty() && known->second == picture && std::count_if(pictures.begin(), pictures.end(),
            [&](const auto& other) { return other.second == picture; }) == 1;
    };
    // Why the site is down stays under the status line while it is.
    const auto toolTip = [](const QString& status, const char* mark) {
        return QStringLiteral("'Vorn Sentrilo\\n") + status
            + (mark == std::string_view("down") ? QStringLiteral("\\nThe answer was empty.'") : QStringLiteral("'"));
    };
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    const struct {
        const char* body;
        const char* markDuring;
        const char* markAfter;
    } checks[] = {{"", "none", "down"}, {"x", "down", "up"}, {"", "up", "down"}};
    for (const auto& row : checks) {
        body = row.body;
        if (startStopButton()->text() == QLatin1String("Start"))
            QTest::mouseClick(startStopButton(), Qt::LeftButton);
        else
            window->checkNow();
        QVERIFY2(during.first.contains(toolTip(QStringLiteral("Status: Connecting..."), row.markDuring)),
            qPrintable(during.first));
        QVERIFY2(shows(row.markDuring, during.second), row.markDuring);
        const auto [tip, picture] = viewIndicator(watcher.item());
        QVERIFY2(tip.contains(toolTip(statusLine()->text(), row.markAfter)), qPrintable(tip));
        QVERIFY2(shows(row.markAfter, picture), row.markAfter);
    }

    // A panel finds the program's entry by the indicator's id.
    QVERIFY(callIndicator(watcher.item(), {QStringLiteral("org.freedesktop.DBus.Properties.Get"),
        QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Id")})
            .contains(QStringLiteral("'" SENTRILO_ENTRY_CLASS "'")));

    // A click on it brings the window back over the program the user was in; Stop takes it away.
    minimize(window.get());
    QVERIFY(peer->takeFocus());
    callIndicator(watcher.item(), {QStringLiteral("org.kde.StatusNotifierItem.Activate"), QStringLiteral("0"),
        QStringLiteral("0")});
    QTRY_VERIFY(!probe->iconic(xid(window.get())));
    QTRY_COMPARE(probe->activeWindow(), xid(window.get()));
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    QTRY_VERIFY(watcher.item().isEmpty());
}

void DesktopMainWindowTest::theBoxesNeverHideTheMainWindow()
{
    const std::pair<const char*, const char*> boxes[] = {{"aboutAction", "aboutBox"}, {"sponsorAction", "sponsorBox"}};
    const xcb_window_t main = xid(window.get());
    // Chosen one after the other as a user does, each once it has come up: Qt activates a box
    // only once it is mapped, so one chosen before the last has come up may still take its turn.
    // In between, the user goes back to the main window, which then comes over both.
    for (const int chosen : {0, 1}) {
        for (const auto& [menu, name] : {boxes[chosen], boxes[1 - chosen], boxes[chosen]}) {
            trigger(menu);
            QVERIFY(QTest::qWaitForWindowActive(topLevel(name)));
            QTRY_COMPARE(topOfStack(), xid(topLevel(name)));
            peer->activate(main);
            QTRY_COMPARE(probe->activeWindow(), main);
            QTRY_COMPARE(topOfStack(), main);
        }
    }
}

void DesktopMainWindowTest::withoutABusTheCheckStillLogs()
{
    if (haveBus)
        QSKIP("runs in a session without a bus");
    // Told once that no notification can be posted, not at every change.
    const QRegularExpression noBus(QStringLiteral("^No notification is posted: there is no session bus"));
    QTest::ignoreMessage(QtWarningMsg, noBus);
    QTest::failOnWarning(noBus);
    body = "up";
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    QVERIFY(statusLine()->text().startsWith(QStringLiteral("Status: SITE OK (")));
    QCOMPARE(peer->takeBellCount(probe->connection()), 1);
    QCOMPARE(log().count("Status: SITE OK ("), 1);
    body.clear();
    window->checkNow();
    QCOMPARE(log().count("Status: SITE DOWN ("), 1);
}

QTEST_MAIN(DesktopMainWindowTest)
#include "desktop_main_window_test.moc"
