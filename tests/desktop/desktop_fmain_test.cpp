// What the desktop itself sees of the windows: run on a real X server with a window manager
// (see with-desktop), with the check engine replaced where a test needs to steer it.
#include "check/page_fetcher.h"
#include "tests/desktop/notification_standin.h"
#include "tests/desktop/x11_probe.h"
#include "tests/support/loopback_server.h"
#include "tests/support/window_test_support.h"
#include "ui/application.h"
#include "ui/click_label.h"
#include "ui/fmain.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDBusConnectionInterface>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QProcess>
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

// A screen reader on the accessibility bus: it asks the registry for name changes, and on each
// one reads the object's new name over the bus, as screen readers do.
class ScreenReader : public QObject {
    Q_OBJECT

public:
    ~ScreenReader() override { QDBusConnection::disconnectFromBus(bus_.name()); }

    bool listen()
    {
        const QDBusReply<QString> address = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"),
            QStringLiteral("GetAddress")));
        if (!address.isValid())
            return false;
        bus_ = QDBusConnection::connectToBus(address.value(), QStringLiteral("screen reader"));
        QDBusMessage subscribe = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.atspi.Registry"),
            QStringLiteral("/org/a11y/atspi/registry"), QStringLiteral("org.a11y.atspi.Registry"),
            QStringLiteral("RegisterEvent"));
        subscribe << QStringLiteral("object:property-change:accessible-name");
        return bus_.connect({}, {}, QStringLiteral("org.a11y.atspi.Event.Object"), QStringLiteral("PropertyChange"), this,
                   SLOT(propertyChange(QDBusMessage)))
            && bus_.call(subscribe).type() == QDBusMessage::ReplyMessage;
    }

    QStringList names;         // as read, oldest first
    std::atomic<int> read = 0; // how many; for other threads to wait on

public Q_SLOTS:
    void propertyChange(const QDBusMessage& event)
    {
        if (event.arguments().value(0).toString() != QLatin1String("accessible-name"))
            return;
        QDBusMessage get = QDBusMessage::createMethodCall(
            event.service(), event.path(), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.a11y.atspi.Accessible") << QStringLiteral("Name");
        // Answered in the order asked, so the names stay in the order of their events.
        auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
        connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answered) {
            names << QDBusPendingReply<QDBusVariant>(*answered).value().variant().toString();
            ++read;
            answered->deleteLater();
        });
    }

private:
    QDBusConnection bus_{QString()};
};

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

// A stand-in for the desktop's status notifier watcher, with a host registered. Qt's tray icon
// asks it with blocking calls from the window's thread, so it answers from a thread of its own.
class WatcherStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    // Qt reads them through an interface that learns them from introspection.
    Q_PROPERTY(bool IsStatusNotifierHostRegistered MEMBER host_ CONSTANT)
    Q_PROPERTY(int ProtocolVersion MEMBER version_ CONSTANT)

public:
    ~WatcherStandIn() override
    {
        thread_.quit();
        thread_.wait();
    }
    bool start()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("watcher"));
        moveToThread(&thread_);
        thread_.start();
        return bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))
            && bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
    }
    // The bus name of the indicator registered last while it is on the bus, else empty.
    QString item() const
    {
        const QMutexLocker lock(&mutex_);
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(item_) ? item_ : QString();
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service)
    {
        const QMutexLocker lock(&mutex_);
        item_ = service;
    }

private:
    bool host_ = true;
    int version_ = 0;
    QThread thread_;
    mutable QMutex mutex_;
    QString item_;
};

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
    QStringList opened; // targets handed to the desktop
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
    opened.clear();
    window = std::make_unique<FMain>(FMain::Engine{[this](const std::string& url) { return fetch(url); },
        [] { return std::chrono::system_clock::from_time_t(1'800'000'000); }, folder->path().toStdString(),
        [this](const QString& target, const QString&) { opened << target; }});
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
    trigger("MAbTol");
    QTRY_VERIFY(probe->hasState(xid(about), "_NET_WM_STATE_SKIP_TASKBAR"));
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
    QCOMPARE(opened, QStringList{QStringLiteral("http://www.yondrel.example/")});
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
    ScreenReader reader;
    QVERIFY(reader.listen());
    // The bridge sends a kind of event once the registry has told it someone listens: until the
    // reader hears the status line, it speaks again. The bus keeps order, so once its latest
    // words are heard nothing older is still on the way.
    auto* status = child<QLabel>("lStatus");
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
        return std::string();
    };
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    window->PollServer();
    QTRY_COMPARE(reader.names.filter(QStringLiteral("Status: ")),
        (QStringList{QStringLiteral("Status: Connecting..."), status->text()}));
    QVERIFY(status->text().startsWith(QStringLiteral("Status: SITE DOWN (")));
}

void DesktopFMainTest::theIndicatorFollowsTheWatch()
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

    std::string body;
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
    const auto toolTip = [](const QString& status) { return QStringLiteral("'Vorn Sentrilo\\n") + status + u'\''; };
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
        QVERIFY2(during.first.contains(toolTip(QStringLiteral("Status: Connecting..."))), qPrintable(during.first));
        QVERIFY2(shows(row.markDuring, during.second), row.markDuring);
        const auto [tip, picture] = viewIndicator(watcher.item());
        QVERIFY2(tip.contains(toolTip(child<QLabel>("lStatus")->text())), qPrintable(tip));
        QVERIFY2(shows(row.markAfter, picture), row.markAfter);
    }

    // A panel finds the program's entry by the indicator's id.
    QVERIFY(callIndicator(watcher.item(), {QStringLiteral("org.freedesktop.DBus.Properties.Get"),
        QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Id")})
            .contains(QStringLiteral("'" SENTRILO_ENTRY_CLASS "'")));

    // A click on it brings the window back; Stop takes it away.
    minimize(window.get());
    callIndicator(watcher.item(), {QStringLiteral("org.kde.StatusNotifierItem.Activate"), QStringLiteral("0"),
        QStringLiteral("0")});
    QTRY_VERIFY(!probe->iconic(xid(window.get())));
    QTRY_COMPARE(probe->activeWindow(), xid(window.get()));
    QTest::mouseClick(child<QPushButton>("BMode"), Qt::LeftButton);
    QTRY_VERIFY(watcher.item().isEmpty());
}

void DesktopFMainTest::aBoxChosenAgainComesOnTop()
{
    const std::pair<const char*, const char*> boxes[] = {{"MAbTol", "FAbout"}, {"MQuib", "FQuib"}};
    // Chosen one after the other as a user does, each once it has come up: Qt activates a box
    // only once it is mapped, so one chosen before the last has come up may still take its turn.
    for (const int chosen : {0, 1}) {
        for (const auto& [menu, name] : {boxes[chosen], boxes[1 - chosen], boxes[chosen]}) {
            trigger(menu);
            QVERIFY(QTest::qWaitForWindowActive(topLevel(name)));
            QTRY_COMPARE(topOfStack(), xid(topLevel(name)));
        }
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
