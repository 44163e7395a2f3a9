#include "ui/watch/site_watch.h"

#include "check/typed_url.h"
#include "ui/base/local_text.h"
#include "ui/base/texts.h"
#include "ui/watch/responsive_wait.h"

#include <QFile>
#include <QTimer>

#include <utility>

namespace ui {

SiteWatch::SiteWatch(check::PageFetcher fetch, check::Clock clock, std::string logFolder,
    check::InternetLimits limits, QObject* parent)
    : QObject(parent),
      // Told on the bus's thread; the window's takes it in turn with everything else.
      network_([this] { QMetaObject::invokeMethod(this, &SiteWatch::resume, Qt::QueuedConnection); }),
      cycle_(patiently(std::move(fetch)), std::move(clock), std::move(logFolder), limits),
      pollTimer_(new QTimer(this))
{
    pollTimer_->setObjectName(QStringLiteral("pollTimer"));
    pollTimer_->setInterval(check::kPollInterval);
    // A coarse timer may drift by seconds over a minute; checks should keep their rhythm.
    pollTimer_->setTimerType(Qt::PreciseTimer);
    connect(pollTimer_, &QTimer::timeout, this, [this] { check(url_); });
}

namespace {

// Whether this computer's own network leaves the verdict on `page` open. A site that answers is
// up whatever NetworkManager says (it may be this computer's or the local network's), unless a
// portal may have written the answer: only one that came over https is the site's own.
bool verdictWaits(const check::Page& page, check::Reach reach)
{
    switch (reach) {
    case check::Reach::Internet:
        return false;
    case check::Reach::Portal:
        return page.body.empty() || !page.report.overHttps;
    case check::Reach::Nowhere:
    case check::Reach::LocalNetwork:
        break;
    }
    return page.body.empty();
}

const char* wordsFor(check::Reach reach)
{
    switch (reach) {
    case check::Reach::Nowhere:
        return "no network";
    case check::Reach::Portal:
        return "a portal that asks to sign in";
    case check::Reach::LocalNetwork:
        return "the local network only";
    case check::Reach::Internet:
        break;
    }
    return "the internet";
}

} // namespace

check::PageFetcher SiteWatch::patiently(check::PageFetcher fetch)
{
    return [this, fetch = std::move(fetch)](const std::string& url, const check::InternetLimits& limits) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + limits.totalTimeout;
        check::InternetLimits within = limits;
        for (;;) {
            check::Page page;
            runResponsively([&] { page = fetch(url, within); });
            const check::Reach reach = network_.reach();
            if (!verdictWaits(page, reach))
                return page;
            qCDebug(lcCheck).nospace() << "No verdict yet: this computer's network reaches " << wordsFor(reach)
                                       << "; waiting for the network";
            bool further = false;
            runResponsively([&] { further = network_.waitBeyond(reach, deadline); });
            within.totalTimeout = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (!further || within.totalTimeout.count() <= 0) {
                page.network = reach;
                return page;
            }
            qCDebug(lcCheck) << "The network reaches further now; fetching once more";
        }
    };
}

void SiteWatch::resume()
{
    if (!watching_)
        return;
    if (checking_) {
        resumedWhileChecking_ = true;
        return;
    }
    // The tick that was due counted on through the sleep; this check takes its place.
    pollTimer_->stop();
    check(url_);
    pollTimer_->start();
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
    // Its verdict may rest on the network from before a sleep: one more, in turn.
    if (std::exchange(resumedWhileChecking_, false))
        QMetaObject::invokeMethod(this, &SiteWatch::resume, Qt::QueuedConnection);
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
