#pragma once

#include "check/poll_cycle.h"
#include "ui/base/diagnostics.h"
#include "ui/desktop/network_and_sleep.h"
#include "ui/watch/status.h"

#include <QObject>
#include <QString>

#include <optional>
#include <string>

class QTimer;

namespace ui {

// The one owner of the watch: Start and Stop, the poll timer, whether a check is running, and
// the steps of each check, in their order. It reads no widget and tells what there is to show
// through its signals; within each, the slots run in the order they were connected.
class SiteWatch : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SiteWatch)

public:
    // `fetch` runs on a thread of its own while the window stays alive (see runResponsively),
    // within `limits`; the log goes to `logFolder`.
    SiteWatch(check::PageFetcher fetch, check::Clock clock, std::string logFolder, check::InternetLimits limits = {},
        QObject* parent = nullptr);

    bool isChecking() const { return checking_; }
    // Where the checks are recorded, as a file name.
    QString logPath() const;

    // Start with `url` while idle: one check at once, then one a minute; Stop while watching.
    // An empty URL or the bare "http://" changes nothing.
    void toggle(const QString& url);
    // Runs one check of `url` at once and to its end.
    void check(const QString& url);

Q_SIGNALS:
    void watchingChanged(bool watching);
    void checkingChanged(bool checking);
    // Each new status line: "Connecting..." as a check starts, then its verdict.
    void statusChanged(const ui::Status& status);
    // A check found another verdict than the one before; sent after its statusChanged.
    void verdictChanged(const ui::Status& status);

private:
    // `fetch` as a check runs it: off the window's thread, and, when this computer's own network
    // leaves the verdict open (a failure while offline, a portal or the local network only; a
    // page over plain http from a portal), once more when the network reaches further within
    // the check's time.
    check::PageFetcher patiently(check::PageFetcher fetch);
    // The computer woke from sleep: while watching, a check at once, or right after the one
    // running, which began before the sleep; the next tick falls a whole interval after it.
    void resume();
    void setChecking(bool checking);
    void diagnose(const check::Outcome& outcome, const QString& url, std::error_code logError);

    NetworkAndSleep network_;
    check::PollCycle cycle_;
    QTimer* pollTimer_;
    QString url_;
    bool watching_ = false;
    bool checking_ = false;
    bool resumedWhileChecking_ = false;
    Trouble proxyTrouble_{lcCheck};
    Trouble logTrouble_{lcLog};
};

} // namespace ui
