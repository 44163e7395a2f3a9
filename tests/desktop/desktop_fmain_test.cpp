// What the desktop itself sees of the windows: run on a real X server with a window manager
// (see with-desktop), with the check engine replaced where a test needs to steer it.
#include "application.h"
#include "click_label.h"
#include "fake_opener.h"
#include "fmain.h"
#include "loopback_server.h"
#include "notification_standin.h"
#include "page_fetcher.h"
#include "watcher_standin.h"
#include "window_test_support.h"
#include "x11_probe.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>

using ui::FMain;
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

// The topmost of the windows the window manager stacks (_NET_CLIENT_LIST_STACKING runs from
// bottom to top).
xcb_window_t topOfStack(xcb_connection_t* connection)
{
    const auto release = [](void* reply) { std::free(reply); };
    const char name[] = "_NET_CLIENT_LIST_STACKING";
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(release)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr), release);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const std::unique_ptr<xcb_get_property_reply_t, decltype(release)> list(xcb_get_property_reply(connection,
        xcb_get_property(connection, 0, root, atom ? atom->atom : 0, XCB_ATOM_WINDOW, 0, 1024), nullptr), release);
    const int count = list ? xcb_get_property_value_length(list.get()) / 4 : 0;
    return count > 0 ? static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()))[count - 1] : 0;
}

// What a panel reads of a status indicator: its tooltip's title, and its picture (a name or
// the pixels) as one value to tell pictures apart.
struct IndicatorView {
    QString toolTip;
    QByteArray picture;
};

// Calls over the session bus. The indicator answers on the window's thread, so that thread goes
// on handling events until the answer is in.
QDBusMessage callBus(const QString& service, const QString& path, const QString& interface, const QString& method,
    const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    QDBusPendingCall call = QDBusConnection::sessionBus().asyncCall(message);
    if (QThread::currentThread() == qApp->thread())
        (void)QTest::qWaitFor([&] { return call.isFinished(); }, 10'000); // an unanswered call reads as an error
    else
        call.waitForFinished();
    return call.reply();
}

const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kItem = QStringLiteral("org.kde.StatusNotifierItem");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");

IndicatorView viewIndicator(const QString& service)
{
    const QDBusPendingReply<QVariantMap> reply =
        callBus(service, kItemPath, kProperties, QStringLiteral("GetAll"), {kItem});
    if (!reply.isValid())
        return {};
    const QVariantMap properties = reply.value();
    IndicatorView view;
    const auto tip = properties.value(QStringLiteral("ToolTip")).value<QDBusArgument>();
    tip.beginStructure();
    tip.asVariant(); // its icon's name
    tip.asVariant(); // and pixels
    view.toolTip = tip.asVariant().toString();
    view.picture = properties.value(QStringLiteral("IconName")).toString().toUtf8();
    const auto pixmaps = properties.value(QStringLiteral("IconPixmap")).value<QDBusArgument>();
    pixmaps.beginArray();
    while (!pixmaps.atEnd()) {
        int width = 0;
        int height = 0;
        QByteArray pixels;
        pixmaps.beginStructure();
        pixmaps >> width >> height >> pixels;
        pixmaps.endStructure();
        view.picture += pixels;
    }
    return view;
}

} // namespace

class DesktopFMainTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void titlesHintsAndIconsAreWhatTheDesktopReads();
    void checksWhileMinimizedMarkRingAndNotify();
    void aMinimizedBoxComesBackFromItsMenu();
    void inputDuringACheckWaitsForIt();
    void theWindowStaysAliveDuringACheck();
    void aTickDueDuringACheckRunsAfterIt();
    void screenReadersHearEachNewStatus();
    void theIndicatorFollowsTheWatch();
    void aBoxChosenAgainComesOnTop();
    // Run on its own, in a session without a bus (see CMakeLists.txt).
    void withoutABusTheCheckStillLogs();

private:
    template <typename T>
    T* child(const char* name) const { return window->findChild<T*>(QLatin1String(name)); }
    void trigger(const char* action) const { child<QAction>(action)->trigger(); }
    void typeUrl(const QString& text);
    QByteArray log() const;
    void minimize(QWidget* target);

    std::unique_ptr<X11Probe> probe;
    std::unique_ptr<DisplayPeer> peer;
    NotificationStandIn notifications;
    WatcherStandIn watcher;
    bool haveBus = false;

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<FMain> window;
    std::function<std::string(const std::string&)> fetch;
};

void DesktopFMainTest::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ui::setupApplication();
    probe = std::make_unique<X11Probe>();
    peer = std::make_unique<DisplayPeer>();
    haveBus = QDBusConnection::sessionBus().isConnected();
    if (haveBus) {
        QVERIFY(notifications.start());
        QVERIFY(watcher.start());
    }
}

void DesktopFMainTest::init()
{
    folder = std::make_unique<QTemporaryDir>();
    fetch = [](const std::string&) { return std::string(); };
    window = std::make_unique<FMain>(FMain::Engine{[this](const std::string& url) { return fetch(url); },
        [] { return std::chrono::system_clock::from_time_t(1'800'000'000); }, folder->path().toStdString()});
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    peer->takeBellCount(probe->connection());
}

void DesktopFMainTest::cleanup()
{
    window.reset();
    folder.reset();
}

void DesktopFMainTest::typeUrl(const QString& text)
{
    child<QLineEdit>("TUrl")->setText(text);
}

QByteArray DesktopFMainTest::log() const
{
    return readLog(folder->path());
}

// As a taskbar does: the window manager iconifies the window, the program only hears of it.
void DesktopFMainTest::minimize(QWidget* target)
{
    QCOMPARE(std::system(("xdotool windowminimize " + std::to_string(xid(target))).c_str()), 0);
    QTRY_VERIFY(probe->iconic(xid(target)));
    QTRY_VERIFY(target->isMinimized());
}

void DesktopFMainTest::titlesHintsAndIconsAreWhatTheDesktopReads()
{
    trigger("MAbTol");
    trigger("MQuib");
    QWidget* about = topLevel("FAbout");
    QWidget* sponsor = topLevel("FQuib");
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
        // The class names the program (the instance is the executable's own name).
        QCOMPARE(probe->wmClass(id).value(1), QStringLiteral("sentrilo"));
        QCOMPARE(probe->fixedSize(id), row.window->size());
        const std::vector<QSize> icons = probe->iconSizes(id);
        QVERIFY2(std::find(icons.begin(), icons.end(), QSize(32, 32)) != icons.end(), row.title);
        QVERIFY2(std::find(icons.begin(), icons.end(), QSize(16, 16)) != icons.end(), row.title);
        const QStringList states = probe->netWmState(id);
        QCOMPARE(states.contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR")), !row.inTaskbar);
        QCOMPARE(states.contains(QStringLiteral("_NET_WM_STATE_SKIP_PAGER")), !row.inTaskbar);
    }

    // Closed and shown again, a box is new to the window manager and must say it again.
    about->close();
    QTRY_VERIFY(!about->isVisible());
    trigger("MAbTol");
    QTRY_VERIFY(probe->netWmState(xid(about)).contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR")));
}

void DesktopFMainTest::checksWhileMinimizedMarkRingAndNotify()
{
    std::string body;
    fetch = [&](const std::string&) { return body; };
    typeUrl(QStringLiteral("http://127.0.0.1:9/a?b&c"));
    QTest::mouseClick(child<QPushButton>("BMode"), Qt::LeftButton);
    peer->takeBellCount(probe->connection()); // the first check: down, no change

    const qsizetype notifiedBefore = notifications.calls().size();
    const struct {
        const char* body;
        bool change;
    } rows[] = {{"x", true}, {"x", false}, {"", true}, {"", false}, {"x", true}};
    for (const auto& row : rows) {
        minimize(window.get());
        body = row.body;
        const qsizetype notified = notifications.calls().size();
        window->PollServer();
        QCOMPARE(notifications.calls().size(), notified); // sent, but no answer was waited for

        const xcb_window_t id = xid(window.get());
        const char* marker = *row.body ? "[Site OK]" : "[Site Down]";
        QCOMPARE(peer->takeBellCount(probe->connection()), row.change ? 1 : 0);
        if (row.change) {
            QTRY_VERIFY(!probe->iconic(id));
            QTRY_COMPARE(probe->netWmName(id), QStringLiteral("Vorn Sentrilo"));
            if (haveBus) {
                QTRY_COMPARE(notifications.calls().size(), notified + 1);
                const NotificationStandIn::Call& call = notifications.calls().last();
                QCOMPARE(call.appName, QStringLiteral("Vorn Sentrilo"));
                QCOMPARE(call.summary, QString::fromLatin1(marker));
                // Plain text to a service that reads markup: the URL's "&" arrives escaped.
                QCOMPARE(call.body, QStringLiteral("http://127.0.0.1:9/a?b&amp;c\n")
                        + child<QLabel>("lStatus")->text().toHtmlEscaped());
                QCOMPARE(call.icon, QStringLiteral("sentrilo"));
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
}

void DesktopFMainTest::aMinimizedBoxComesBackFromItsMenu()
{
    for (const auto& [name, boxName] : {std::pair{"MAbTol", "FAbout"}, std::pair{"MQuib", "FQuib"}}) {
        trigger(name);
        QWidget* box = topLevel(boxName);
        QVERIFY(QTest::qWaitForWindowExposed(box));
        minimize(box);
        trigger(name);
        QTRY_VERIFY2(!probe->iconic(xid(box)), name);
        QTRY_COMPARE(probe->activeWindow(), xid(box));
    }
}

void DesktopFMainTest::inputDuringACheckWaitsForIt()
{
    FakeOpener opener;
    testsupport::LoopbackServer server;
    QStringList handled;
    connect(child<ui::ClickLabel>("Label2"), &ui::ClickLabel::clicked, this, [&] { handled << QStringLiteral("banner"); });
    connect(child<QPushButton>("BMode"), &QPushButton::clicked, this, [&] { handled << QStringLiteral("button"); });
    QStringList handledByTheEnd;
    fetch = [&](const std::string& url) {
        std::string body = check::FetchPage(url, heldLimits());
        // On the window's own thread, as the check's last moment.
        QMetaObject::invokeMethod(window.get(), [&] { handledByTheEnd = handled; }, Qt::BlockingQueuedConnection);
        return body;
    };
    typeUrl(QString::fromStdString(server.url("/held")));

    // While the check holds the program: a click on the banner, then Space on the focused
    // button, sent as a user would, from outside; then the server answers.
    const QPoint banner = child<QLabel>("Label2")->mapTo(window.get(), child<QLabel>("Label2")->rect().center());
    const std::string click = "xdotool mousemove --window " + std::to_string(xid(window.get())) + ' '
        + std::to_string(banner.x()) + ' ' + std::to_string(banner.y()) + " click 1 key space";
    bool injected = false;
    std::thread user([&] {
        awaitRequest(server);
        injected = std::system(click.c_str()) == 0;
        server.release();
    });
    child<QPushButton>("BMode")->setFocus();
    QTest::keyClick(child<QPushButton>("BMode"), Qt::Key_Space); // Start: the check runs now
    user.join();

    QVERIFY(injected);
    QCOMPARE(handledByTheEnd, QStringList()); // the Start that began it is recorded when done
    QVERIFY(child<QLabel>("lStatus")->text().startsWith(QStringLiteral("Status: SITE OK (")));
    // Handled once the check is over, in the order they came: the banner's page opens, then
    // Space stops the watch.
    QTRY_COMPARE(handled, (QStringList{QStringLiteral("button"), QStringLiteral("banner"), QStringLiteral("button")}));
    QTRY_COMPARE(opener.calls().size(), 1); // xdg-open runs detached: give it its moment
    QVERIFY(opener.calls().first().endsWith(QStringLiteral("http://www.yondrel.example/")));
    QCOMPARE(child<QPushButton>("BMode")->text(), QStringLiteral("Start"));
    QCOMPARE(log().count("<BR>\n\r\n"), 1);
}

void DesktopFMainTest::theWindowStaysAliveDuringACheck()
{
    testsupport::LoopbackServer server;
    fetch = [&](const std::string& url) { return check::FetchPage(url, heldLimits()); };
    trigger("MAbTol");
    QWidget* about = topLevel("FAbout");
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
    QTest::mouseClick(child<QPushButton>("BMode"), Qt::LeftButton);
    desktop.join();

    QVERIFY(pingsAnswered);
    QVERIFY(mainRepainted);
    QVERIFY(boxRepainted);
    QVERIFY(child<QLabel>("lStatus")->text().startsWith(QStringLiteral("Status: SITE OK (")));
}

void DesktopFMainTest::aTickDueDuringACheckRunsAfterIt()
{
    std::atomic<int> checks = 0;
    std::atomic<bool> checking = false;
    std::atomic<bool> overlapped = false;
    fetch = [&](const std::string&) {
        overlapped = overlapped || checking.exchange(true);
        if (++checks == 2)
            std::this_thread::sleep_for(300ms); // a check long enough for ticks to fall due
        checking = false;
        return std::string("up");
    };
    child<QTimer>("Timer1")->setInterval(10);
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    QTest::mouseClick(child<QPushButton>("BMode"), Qt::LeftButton);
    QTRY_VERIFY(checks >= 3);
    QTest::mouseClick(child<QPushButton>("BMode"), Qt::LeftButton);
    QVERIFY2(!overlapped, "a tick started a check inside another");
}

void DesktopFMainTest::screenReadersHearEachNewStatus()
{
    if (!haveBus)
        QSKIP("the accessibility bridge lives on the session bus");
    // QT_LINUX_ACCESSIBILITY_ALWAYS_ON (see CMakeLists.txt) turns the bridge on as a screen
    // reader would; it is live once it has reached the accessibility bus.
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 30'000);
    static QStringList announced;
    announced.clear();
    const QAccessible::UpdateHandler bridge = QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
        if (event->type() == QAccessible::NameChanged && event->object()->objectName() == QLatin1String("lStatus"))
            announced << event->accessibleInterface()->text(QAccessible::Name);
    });
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    window->PollServer();
    QAccessible::installUpdateHandler(bridge);
    QCOMPARE(announced, (QStringList{QStringLiteral("Status: Connecting..."), child<QLabel>("lStatus")->text()}));
    QVERIFY(announced.last().startsWith(QStringLiteral("Status: SITE DOWN (")));
}

void DesktopFMainTest::theIndicatorFollowsTheWatch()
{
    if (!haveBus)
        QSKIP("a panel reads the indicator over the session bus");
    QTRY_VERIFY2(watcher.items().isEmpty(), "an indicator before Start");
    // The window asked the watcher when it was made; its answer is in once a later one is.
    const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
    const QDBusPendingReply<QDBusVariant> later = callBus(watcherName, QStringLiteral("/StatusNotifierWatcher"),
        kProperties, QStringLiteral("Get"), {watcherName, QStringLiteral("ProtocolVersion")});
    QVERIFY(later.isValid());

    std::string body;
    IndicatorView during;
    fetch = [&](const std::string&) {
        // The indicator tells the watcher of itself without waiting for it.
        for (int i = 0; i < 1000 && watcher.items().isEmpty(); ++i)
            std::this_thread::sleep_for(10ms);
        during = viewIndicator(watcher.items().value(0));
        return body;
    };
    const QString title = QStringLiteral("Vorn Sentrilo\n");
    std::map<std::string, QByteArray> pictures;
    // A mark shows one picture each time, and no other mark shows it.
    const auto shows = [&](const std::string& mark, const QByteArray& picture) {
        const auto [known, added] = pictures.try_emplace(mark, picture);
        const bool shared = std::any_of(pictures.begin(), pictures.end(),
            [&](const auto& other) { return other.first != mark && other.second == picture; });
        return !picture.isEmpty() && known->second == picture && !shared;
    };
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    const struct {
        const char* body;
        const char* markDuring;
        const char* markAfter;
    } checks[] = {{"", "none", "down"}, {"x", "down", "up"}, {"", "up", "down"}};
    for (const auto& row : checks) {
        body = row.body;
        if (child<QPushButton>("BMode")->text() == QLatin1String("Start"))
            QTest::mouseClick(child<QPushButton>("BMode"), Qt::LeftButton);
        else
            window->PollServer();
        QCOMPARE(during.toolTip, title + QStringLiteral("Status: Connecting..."));
        QVERIFY2(shows(row.markDuring, during.picture), row.markDuring);
        QCOMPARE(watcher.items().size(), 1);
        const IndicatorView after = viewIndicator(watcher.items().value(0));
        QCOMPARE(after.toolTip, title + child<QLabel>("lStatus")->text());
        QVERIFY2(shows(row.markAfter, after.picture), row.markAfter);
    }

    // A click on it brings the window back; Stop takes it away.
    minimize(window.get());
    callBus(watcher.items().value(0), kItemPath, kItem, QStringLiteral("Activate"), {0, 0});
    QTRY_VERIFY(!probe->iconic(xid(window.get())));
    QTRY_COMPARE(probe->activeWindow(), xid(window.get()));
    QTest::mouseClick(child<QPushButton>("BMode"), Qt::LeftButton);
    QTRY_VERIFY(watcher.items().isEmpty());
}

void DesktopFMainTest::aBoxChosenAgainComesOnTop()
{
    const struct {
        const char* menu;
        const char* box;
        const char* otherMenu;
        const char* otherBox;
    } rows[] = {{"MAbTol", "FAbout", "MQuib", "FQuib"}, {"MQuib", "FQuib", "MAbTol", "FAbout"}};
    for (const auto& row : rows) {
        trigger(row.menu);
        trigger(row.otherMenu);
        QWidget* box = topLevel(row.box);
        QWidget* other = topLevel(row.otherBox);
        QVERIFY(QTest::qWaitForWindowExposed(box) && QTest::qWaitForWindowExposed(other));
        QTRY_COMPARE(topOfStack(probe->connection()), xid(other));
        trigger(row.menu);
        QTRY_COMPARE(topOfStack(probe->connection()), xid(box));
    }
}

void DesktopFMainTest::withoutABusTheCheckStillLogs()
{
    if (haveBus)
        QSKIP("runs in a session without a bus");
    fetch = [](const std::string&) { return std::string("up"); };
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    QTest::mouseClick(child<QPushButton>("BMode"), Qt::LeftButton);
    QVERIFY(child<QLabel>("lStatus")->text().startsWith(QStringLiteral("Status: SITE OK (")));
    QCOMPARE(peer->takeBellCount(probe->connection()), 1);
    QCOMPARE(log().count("Status: SITE OK ("), 1);
}

QTEST_MAIN(DesktopFMainTest)
#include "desktop_fmain_test.moc"
