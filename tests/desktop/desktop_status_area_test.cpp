// A status area that comes after the program: run on a real X server with a session bus and, at
// first, no status area at all (see with-desktop). Qt settles once per process which kind of
// status area it serves, so each row runs in a process of its own (see CMakeLists.txt).
#include "check/page_fetcher.h"
#include "tests/desktop/watcher_standin.h"
#include "tests/desktop/x11_probe.h"
#include "tests/support/main_window_test_base.h"

#include <QApplication>
#include <QDBusMessage>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

using namespace std::chrono_literals;

class DesktopStatusAreaTest : public MainWindowTestBase {
    Q_OBJECT

private Q_SLOTS:
    void init() override;
    void aLateStatusAreaGetsTheIndicator_data();
    void aLateStatusAreaGetsTheIndicator();

private:
    WatcherStandIn watcher{false};
    std::optional<DisplayPeer> tray;
};

void DesktopStatusAreaTest::init()
{
    QFETCH(bool, x11);
    QFETCH(bool, beforeStart);
    // A tray up before the program, its news long read: the X server tells of it before it tells
    // of a window shown after it.
    if (x11 && beforeStart) {
        tray.emplace().becomeTray();
        QWidget later;
        later.show();
        QVERIFY(QTest::qWaitForWindowExposed(&later));
    }
    MainWindowTestBase::init();
}

void DesktopStatusAreaTest::aLateStatusAreaGetsTheIndicator_data()
{
    // An X11 tray or the watcher; there at Start (the tray before the program, the watcher
    // without its host) or not.
    QTest::addColumn<bool>("x11");
    QTest::addColumn<bool>("beforeStart");
    QTest::newRow("watcher-before-start") << false << true;
    QTest::newRow("watcher-later") << false << false;
    QTest::newRow("x11-tray-before-start") << true << true;
    QTest::newRow("x11-tray-later") << true << false;
}

void DesktopStatusAreaTest::aLateStatusAreaGetsTheIndicator()
{
    QFETCH(bool, x11);
    QFETCH(bool, beforeStart);
    static int rows = 0;
    if (rows++ > 0)
        QSKIP("Qt settles the kind of status area once per process: one row a run");
    const auto ours = [](xcb_window_t id) {
        return id != 0 && std::ranges::any_of(QApplication::topLevelWidgets(),
            [&](const QWidget* window) { return window->internalWinId() == id; });
    };
    if (beforeStart && !x11)
        QVERIFY(watcher.start()); // a panel's watcher, up before its host
    xcb_window_t dockedDuringCheck = 0;
    fetch = [&](const std::string&) {
        // A slow first check, until the tray is asked to dock an icon.
        for (int i = 0; tray && i < 500 && tray->docked() == 0; ++i)
            std::this_thread::sleep_for(10ms);
        dockedDuringCheck = tray ? tray->docked() : 0;
        return check::Page("x");
    };
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    QTest::mouseClick(startStopButton(), Qt::LeftButton); // returns once the first check has ended
    if (beforeStart && x11) {
        QVERIFY(ours(dockedDuringCheck));
        return;
    }
    // What the window asked the watcher is answered, and the answer read, before the area comes:
    // the watcher answers one connection's calls in turn.
    const QString name = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(name, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get")) << name << QStringLiteral("ProtocolVersion"));
    QCoreApplication::processEvents();
    if (x11) {
        tray.emplace().becomeTray();
    } else {
        QVERIFY2(watcher.item().isEmpty(), "an indicator before the host");
        watcher.registerHost();
        if (!beforeStart)
            QVERIFY(watcher.start()); // the watcher comes with its host, as a restarted panel's does
    }
    QTRY_VERIFY(x11 ? ours(tray->docked()) : !watcher.item().isEmpty());
}

QTEST_MAIN(DesktopStatusAreaTest)
#include "desktop_status_area_test.moc"
