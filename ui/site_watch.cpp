#include "ui/site_watch.h"

#include "check/typed_url.h"
#include "ui/local_text.h"
#include "ui/responsive_wait.h"
#include "ui/ui_texts.h"

#include <QFile>
#include <QTimer>

namespace ui {

SiteWatch::SiteWatch(check::PageFetcher fetch, check::Clock clock, std::string logFolder,
    check::InternetLimits limits, QObject* parent)
    : QObject(parent),
      cycle_(patiently(std::move(fetch)), std::move(clock), std::move(logFolder), limits),
      pollTimer_(new QTimer(this))
{
    pollTimer_->setObjectName(QStringLiteral("pollTimer"));
    pollTimer_->setInterval(check::kPollInterval);
    // A coarse timer may drift by seconds over a minute; checks should keep their rhythm.
    pollTimer_->setTimerType(Qt::PreciseTimer);
    connect(pollTimer_, &QTimer::timeout, this, [this] { check(url_); });
}

check::PageFetcher SiteWatch::patiently(check::PageFetcher fetch)
{
    return [this, fetch = std::move(fetch)](const std::string& url, const check::InternetLimits& limits) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + limits.totalTimeout;
        const auto fetchNow = [&](const check::InternetLimits& within) {
            check::Page page;
            runResponsively([&] { page = fetch(url, within); });
            return page;
        };
        check::Page page = fetchNow(limits);
        // A site that answers is up, whatever NetworkManager says: it may be this computer's or
        // the local network's. A failure while this computer has no network is no verdict yet.
        if (!page.body.empty() || !network_.offline())
            return page;
        qCDebug(lcCheck) << "The fetch failed while this computer has no network; waiting for the network";
        bool online = false;
        runResponsively([&] { online = network_.waitUntilOnline(deadline); });
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (!online || left.count() <= 0) {
            page.offline = true;
            return page;
        }
        qCDebug(lcCheck) << "The network is back; fetching once more";
        check::InternetLimits rest = limits;
        rest.totalTimeout = left;
        return fetchNow(rest);
    };
}

QString SiteWatch::logPath() const
{
    return QFile::decodeName(cycle_.logPath().c_str());
}

void SiteWatch::toggle(const QString& url)
{
    if (url.isEmpty() || url == texts::kInitialUrl)
        return;
    watching_ = !watching_;
    Q_EMIT watchingChanged(watching_);
    if (watching_) {
        network_.start();
        url_ = url;
        check(url_);
        // Armed only now, so the next check falls a whole interval after this one ended.
        pollTimer_->start();
    } else {
        pollTimer_->stop();
    }
}

void SiteWatch::check(const QString& url)
{
    const std::string typed = toLocal(url);
    const QString shown = fromLocal(check::withoutPassword(typed));
    setChecking(true);
    Q_EMIT statusChanged({texts::kStatusConnecting, std::nullopt, shown, {}});
    const check::Outcome outcome = cycle_.check(typed);
    const Status status{fromLocal(outcome.status), outcome.verdict, shown, fromLocal(outcome.cause)};
    Q_EMIT statusChanged(status);
    if (outcome.changed)
        Q_EMIT verdictChanged(status);
    // Last, so that the record follows everything the user was shown.
    const std::error_code logError = cycle_.record(typed, outcome.status);
    diagnose(outcome, shown, logError);
    setChecking(false);
}

void SiteWatch::setChecking(bool checking)
{
    checking_ = checking;
    Q_EMIT checkingChanged(checking);
}

void SiteWatch::diagnose(const check::Outcome& outcome, const QString& url, std::error_code logError)
{
    const QString proxy = fromLocal(check::withoutPassword(outcome.fetch.proxy));
    const QString verdict = outcome.verdict == check::Verdict::Up ? QStringLiteral("up")
                                                                   : QStringLiteral("down, ") + fromLocal(outcome.detail);
    qCDebug(lcCheck).noquote() << QStringLiteral("Checked %1 through %2 in %3 ms: %4")
                                      .arg(url, proxy.isEmpty() ? QStringLiteral("a direct connection") : proxy)
                                      .arg(outcome.took.count())
                                      .arg(verdict);

    const QString lookUpProblem = fromLocal(outcome.fetch.proxyLookupProblem);
    if (lookUpProblem.isEmpty())
        proxyTrouble_.clear(QStringLiteral("The proxy look-up works again."));
    else
        proxyTrouble_.report(QStringLiteral("The proxy look-up failed, so checks go direct: ") + lookUpProblem);

    if (logError)
        logTrouble_.report(QStringLiteral("Cannot write the check log %1: %2")
                               .arg(logPath(), fromLocal(logError.message())));
    else
        logTrouble_.clear(QStringLiteral("The check log %1 can be written again.").arg(logPath()));
}

} // namespace ui
