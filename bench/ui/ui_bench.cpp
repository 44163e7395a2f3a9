// The main window's costs against a bare Qt window built in the same tree: whole-process start-up
// to the first painted frame, CPU while idle between checks, and resident memory over many
// checks; and while a check is held open by a silent server, how long an event posted to the
// window waits and what CPU the process spends. Prints one table and exits non-zero when any
// target is missed.
//
// Start-up is timed across processes: the bench runs itself again as a child that reports the
// steady-clock instant of its first finished frame, and compares that with its own reading taken
// just before the start. The two kinds of child alternate, and which goes first alternates too,
// so noise on the shared machine falls on both.
//
// The loopback server runs in a child process of its own, so that its threads' stacks and CPU
// never count towards the window's figures. The watch follows stand-ins for NetworkManager and
// logind on a system bus of the bench's own, as it follows them on a desktop.
//
// The posted events stand for the window system's: a helper thread posts one every few
// milliseconds, stamped, and the window's thread notes the longest wait before handling one. The
// helper's own CPU is the measurement's cost and is left out of the check's figure.

#include "bench/support/bench_support.h"
#include "check/check_texts.h"
#include "check/page_fetcher.h"
#include "tests/support/loopback_server.h"
#include "tests/support/system_bus_standin.h"
#include "ui/application.h"
#include "ui/base/texts.h"
#include "ui/windows/main_window.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

constexpr int kStartupRounds = 30;
constexpr int kStartupWarmups = 2;
constexpr int kIdleMs = 30'000;
constexpr int kSettleMs = 1'000;
constexpr int kChecks = 100;
constexpr int kChecksBeforeBaseline = 10;
constexpr int kHeldCheckSeconds = 10;
constexpr std::chrono::milliseconds kPingEvery{20};

constexpr double kMaxStartupRatio = 1.3;
constexpr double kMaxIdleCpuMs = 10;
constexpr double kMaxRssDriftMiB = 1;
constexpr double kMaxEventWaitMs = 100;
constexpr double kMaxHeldCheckCpuPercent = 2;
// A held check that ends sooner was not held by the server: its figures would say nothing.
constexpr double kMinHeldShare = 0.9;

// A child that has not reported by then is stuck, not slow.
constexpr int kChildDeadlineMs = 20'000;

using bench::format;
using bench::median;
using bench::Row;

// The steady clock is CLOCK_MONOTONIC, the same in every process.
long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---- Child processes: this executable again, as `--child kind`, with this environment. ----

void startSelf(QProcess& child, const char* kind)
{
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), QString::fromLatin1(kind)});
}

// The `count` numbers the child printed, once it ended of its own accord; none if it failed or
// got stuck (QProcess kills a stuck one as it goes).
std::vector<long long> reportOf(QProcess& child, std::size_t count)
{
    const bool ended = child.waitForFinished(kChildDeadlineMs) && child.exitStatus() == QProcess::NormalExit
        && child.exitCode() == 0;
    std::vector<long long> numbers;
    for (const QByteArray& word : child.readAllStandardOutput().simplified().split(' '))
        numbers.push_back(word.toLongLong());
    if (ended && numbers.size() == count)
        return numbers;
    std::fprintf(stderr, "ui_bench: the %s child gave no report; it wrote:\n%s\n",
        qPrintable(child.arguments().constLast()), child.readAllStandardError().constData());
    return {};
}

// What the table shows, and the figures printed under it.
struct Report {
    std::vector<Row> rows;
    std::vector<std::string> notes;
};

// ---- Windows. ----

// Runs the event loop for `ms`, the way the program spends its time between checks.
void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QWidget* bareWindow()
{
    auto* window = new QMainWindow;
    window->setCentralWidget(new QLabel(ui::texts::kStatusReady));
    return window;
}

ui::MainWindow::Engine engineIn(const QTemporaryDir& folder, check::PageFetcher fetch)
{
    ui::MainWindow::Engine engine = ui::MainWindow::Engine::system();
    engine.folder = folder.path().toStdString();
    engine.fetch = fetch ? std::move(fetch) : engine.fetch;
    return engine;
}

// The program's window, its log in a folder of its own, shown, with `url` in its box.
struct Watch {
    QTemporaryDir folder;
    ui::MainWindow window;
    bool ready = false;

    explicit Watch(const std::string& url, check::PageFetcher fetch = nullptr)
        : window(engineIn(folder, std::move(fetch)))
    {
        window.show();
        auto* box = window.findChild<QLineEdit*>(QStringLiteral("urlBox"));
        ready = folder.isValid() && box != nullptr && QTest::qWaitForWindowExposed(&window, kChildDeadlineMs);
        if (box != nullptr)
            box->setText(QString::fromStdString(url));
    }

    int records() const
    {
        QFile log(folder.filePath(QStringLiteral("snlog.html")));
        return log.open(QIODevice::ReadOnly) ? static_cast<int>(log.readAll().count("<BR>")) : 0;
    }

    bool statusStartsWith(std::string_view opening) const
    {
        const auto* status = window.findChild<QLabel*>(QStringLiteral("statusLine"));
        return status != nullptr && status->text().startsWith(QLatin1String(opening.data(), opening.size()));
    }
};

struct CpuUse {
    double ms = 0;
    long wakeups = 0; // voluntary context switches: each is a sleep the process woke from
};

// RUSAGE_SELF for the whole process, RUSAGE_THREAD for the calling thread.
CpuUse cpuNow(int who = RUSAGE_SELF)
{
    rusage usage{};
    ::getrusage(who, &usage);
    return {static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
            + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3,
        usage.ru_nvcsw};
}

CpuUse idleCpu(int ms)
{
    const CpuUse before = cpuNow();
    runEventLoop(ms);
    const CpuUse after = cpuNow();
    return {after.ms - before.ms, after.wakeups - before.wakeups};
}

// ---- What the children do. ----

// Stamps the window's first paint, then, once that whole frame has been painted and flushed
// (the queued call runs only when the repaint returns to the event loop), reports and ends the
// process at once: tearing down is no part of start-up.
class FirstFrame : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && paintNs_ == 0) {
            paintNs_ = nowNs();
            QTimer::singleShot(0, this, [this] {
                std::printf("%lld %lld\n", paintNs_, nowNs());
                std::fflush(stdout);
                ::_exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    long long paintNs_ = 0;
};

int startupChild(bool real)
{
    if (real)
        ui::setupApplication();
    const std::unique_ptr<QWidget> window(real ? new ui::MainWindow : bareWindow());
    FirstFrame firstFrame;
    window->installEventFilter(&firstFrame);
    window->show();
    QTimer::singleShot(kChildDeadlineMs, [] { ::_exit(3); });
    QApplication::exec();
    return 4; // the loop ended without a frame
}

int idleBareChild()
{
    const std::unique_ptr<QWidget> window(bareWindow());
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get(), kChildDeadlineMs))
        return 5;
    runEventLoop(kSettleMs);
    const CpuUse idle = idleCpu(kIdleMs);
    // Ends after the bench's own idle half-minute, so that its ending wakes nothing there.
    runEventLoop(kSettleMs);
    std::printf("%lld %ld\n", std::llround(idle.ms * 1e3), idle.wakeups);
    return 0;
}

// Serves until the bench closes its end of the pipe.
[[noreturn]] void serverChild()
{
    testsupport::LoopbackServer server;
    std::printf("%s\n", server.url("").c_str());
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    // No destructors: a connection held open by /silent simply ends with the process.
    ::_exit(0);
}

// ---- 1. Start-up to the first frame. ----

void measureStartup(Report& report)
{
    bool complete = true;
    std::vector<double> frameMs[2]; // bare, ours
    std::vector<double> paintMs[2];
    const auto once = [&](bool real, bool record) {
        QProcess child;
        const long long startedNs = nowNs();
        startSelf(child, real ? "main-window" : "bare");
        const std::vector<long long> stamps = reportOf(child, 2);
        complete = complete && !stamps.empty();
        if (record && !stamps.empty()) {
            paintMs[real].push_back(static_cast<double>(stamps[0] - startedNs) / 1e6);
            frameMs[real].push_back(static_cast<double>(stamps[1] - startedNs) / 1e6);
        }
    };
    // The first rounds fill the page cache and the font caches for both, and do not count.
    for (int round = -kStartupWarmups; round < kStartupRounds; ++round) {
        once(round % 2 == 0, round >= 0);
        once(round % 2 != 0, round >= 0);
    }
    const double ours = median(frameMs[1]);
    const double bare = median(frameMs[0]);
    const double ratio = bare > 0 ? ours / bare : 0;
    report.rows.push_back({"start-up to first frame, median", format("%.1f ms", ours), format("%.1f ms bare", bare),
        format("%.3f", ratio) + (complete ? "" : " (child failed)"), format("<= %.2f", kMaxStartupRatio),
        complete && bare > 0 && ratio <= kMaxStartupRatio});
    report.notes.push_back(format("to the first Paint event alone, medians %.1f ms ours", median(paintMs[1]))
        + format(", %.1f ms bare; ", median(paintMs[0])) + std::to_string(kStartupRounds) + " rounds each");
}

// ---- 2 and 3. The window watching the loopback page. ----

void measureIdle(const std::string& pageUrl, Report& report)
{
    // The bare window idles in a process of its own over the same half-minute.
    QProcess bareChild;
    startSelf(bareChild, "idle-bare");
    std::optional<CpuUse> ours;
    bool watching = false; // the first check found the page, and no other check ran
    {
        Watch watch(pageUrl);
        auto* start = watch.window.findChild<QPushButton*>(QStringLiteral("startStopButton"));
        auto* timer = watch.window.findChild<QTimer*>(QStringLiteral("pollTimer"));
        if (watch.ready && start != nullptr && timer != nullptr) {
            start->click();
            runEventLoop(kSettleMs);
            ours = idleCpu(kIdleMs);
            watching = timer->isActive() && watch.statusStartsWith(check::texts::kStatusUpOpen)
                && watch.records() == 1;
        }
    }
    const std::vector<long long> bare = reportOf(bareChild, 2);
    report.rows.push_back({format("idle CPU over %.0f s, watching", kIdleMs / 1e3),
        ours ? format("%.2f ms", ours->ms) : "no result",
        bare.empty() ? "no result" : format("%.2f ms bare", static_cast<double>(bare[0]) / 1e3),
        watching ? "-" : "not watching", format("<= %.0f ms", kMaxIdleCpuMs), watching && ours->ms <= kMaxIdleCpuMs});
    if (ours && !bare.empty()) {
        report.notes.push_back("wake-ups while idle: " + std::to_string(ours->wakeups) + " ours, "
            + std::to_string(bare[1]) + " bare");
    }
}

void measureChecks(const std::string& pageUrl, Report& report)
{
    Watch watch(pageUrl);
    bool allUp = watch.ready;
    long afterBaselineKiB = -1;
    for (int check = 1; check <= kChecks && watch.ready; ++check) {
        watch.window.checkNow();
        // Back in the event loop after every check, as when the timer drives them.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        allUp = allUp && watch.statusStartsWith(check::texts::kStatusUpOpen);
        if (check == kChecksBeforeBaseline)
            afterBaselineKiB = bench::statusKiB("VmRSS");
    }
    const long afterAllKiB = bench::statusKiB("VmRSS");
    const bool right = allUp && watch.records() == kChecks;
    const double drift = static_cast<double>(afterAllKiB - afterBaselineKiB) / 1024.0;
    report.rows.push_back(
        {"RSS after " + std::to_string(kChecks) + " checks vs after " + std::to_string(kChecksBeforeBaseline),
            format("%.2f MiB", static_cast<double>(afterAllKiB) / 1024.0),
            format("%.2f MiB", static_cast<double>(afterBaselineKiB) / 1024.0),
            format("d %+.3f", drift) + (right ? "" : allUp ? " (log short)" : " (site down)"),
            format("|d| <= %.0f MiB", kMaxRssDriftMiB),
            right && afterBaselineKiB > 0 && std::abs(drift) <= kMaxRssDriftMiB});
}

// ---- 4. The window during a check that the server holds open. ----

void measureHeldCheck(const std::string& silentUrl, Report& report)
{
    check::InternetLimits limits;
    limits.totalTimeout = std::chrono::seconds(kHeldCheckSeconds);
    Watch watch(silentUrl, [limits](const std::string& url, const check::InternetLimits&) {
        return check::fetchPage(url, limits);
    });
    runEventLoop(kSettleMs);
    // Each ping is stamped when posted; the wait until the window's thread runs it is what an
    // exposure or the window manager's ping would wait.
    QObject receiver;
    long long longestWaitNs = 0;
    int posted = 0;
    int handled = 0;
    double pingerCpuMs = 0;
    const CpuUse before = cpuNow();
    const long long startNs = nowNs();
    double wallMs = 0;
    {
        std::jthread pinger([&](const std::stop_token& stop) {
            for (; !stop.stop_requested(); ++posted) {
                QMetaObject::invokeMethod(&receiver, [&, postedNs = nowNs()] {
                    longestWaitNs = std::max(longestWaitNs, nowNs() - postedNs);
                    ++handled;
                }, Qt::QueuedConnection);
                std::this_thread::sleep_for(kPingEvery);
            }
            pingerCpuMs = cpuNow(RUSAGE_THREAD).ms;
        });
        // From a slot, as the timer's tick starts a check.
        QEventLoop loop;
        QTimer::singleShot(0, &loop, [&] {
            watch.window.checkNow();
            loop.quit();
        });
        loop.exec();
        wallMs = static_cast<double>(nowNs() - startNs) / 1e6;
    }
    const double cpuPercent = (cpuNow().ms - before.ms - pingerCpuMs) * 100 / std::max(wallMs, 1.0);
    // Pings that a blocked thread left waiting run now, their whole wait counted.
    QCoreApplication::sendPostedEvents(&receiver, QEvent::MetaCall);
    const double longestWaitMs = static_cast<double>(longestWaitNs) / 1e6;
    const bool recorded
        = watch.ready && watch.records() == 1 && watch.statusStartsWith(check::texts::kStatusDownOpen);
    const bool held = wallMs >= kHeldCheckSeconds * 1e3 * kMinHeldShare && handled == posted;
    const std::string flaw = !recorded ? "no record" : !held ? "not held" : "-";
    report.rows.push_back({format("event wait during %.0f s check, max", kHeldCheckSeconds),
        format("%.1f ms", longestWaitMs), "none", flaw, format("<= %.0f ms", kMaxEventWaitMs),
        flaw == "-" && longestWaitMs <= kMaxEventWaitMs});
    report.rows.push_back({format("CPU during %.0f s check, %% of core", kHeldCheckSeconds),
        format("%.2f %%", cpuPercent), "none", flaw, format("<= %.0f %%", kMaxHeldCheckCpuPercent),
        flaw == "-" && cpuPercent <= kMaxHeldCheckCpuPercent});
    report.notes.push_back(format("the held check lasted %.2f s; ", wallMs / 1e3) + std::to_string(posted)
        + " events posted, one every " + std::to_string(kPingEvery.count()) + " ms");
}

} // namespace

int main(int argc, char* argv[])
{
    // Offscreen unless told otherwise; the children inherit the environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::setNoProxy("*");
    const std::string_view kind = argc == 3 && std::string_view(argv[1]) == "--child" ? argv[2] : "";
    if (kind == "server")
        serverChild();
    QApplication app(argc, argv);
    if (kind == "main-window" || kind == "bare")
        return startupChild(kind == "main-window");
    if (kind == "idle-bare")
        return idleBareChild();
    ui::setupApplication();

    QProcess server;
    startSelf(server, "server");
    if (!server.waitForReadyRead(kChildDeadlineMs)) {
        std::fprintf(stderr, "ui_bench: the loopback server does not start\n");
        return 1;
    }
    const std::string origin = server.readLine().trimmed().toStdString();
    // The watch follows NetworkManager and logind on a system bus of the bench's own, as on a desktop.
    SystemBusStandIn systemBus;
    if (!systemBus.start()) {
        std::fprintf(stderr, "ui_bench: the system bus does not start\n");
        return 1;
    }
    Report report;
    measureStartup(report);
    measureIdle(origin + "/page", report);
    measureChecks(origin + "/page", report);
    measureHeldCheck(origin + "/silent", report);
    server.closeWriteChannel();
    server.waitForFinished();

    bench::printTable(report.rows);
    for (const std::string& note : report.notes)
        std::printf("note: %s\n", note.c_str());
    return bench::allPass(report.rows) ? 0 : 1;
}
