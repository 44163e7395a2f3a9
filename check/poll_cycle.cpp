#include "check/poll_cycle.h"

#include "check/check_log.h"
#include "check/check_texts.h"
#include "check/down_cause.h"
#include "check/log_place.h"

#include <exception>
#include <utility>

namespace check {

std::string verdictStatus(Verdict verdict, std::chrono::system_clock::time_point when)
{
    std::string status(verdict == Verdict::Up ? texts::kStatusUpOpen : texts::kStatusDownOpen);
    status += formatTimestamp(when);
    status += texts::kStatusClose;
    return status;
}

PollCycle::PollCycle(PageFetcher fetch, Clock clock, std::string logFolder, InternetLimits limits)
    : fetch_(std::move(fetch)),
      clock_(std::move(clock)),
      limits_(limits),
      logFolder_(std::move(logFolder)),
      logPath_(check::logPath(logFolder_))
{
}

Outcome PollCycle::check(const std::string& url)
{
    Outcome outcome;
    const auto started = std::chrono::steady_clock::now();
    bool gotPage = false;
    try {
        Page page = fetch_(url, limits_);
        // A page that came while the network asked to sign in may be the sign-in page.
        gotPage = !page.body.empty() && page.network == Reach::Internet;
        if (!gotPage) {
            outcome.cause = downCause(page);
            outcome.detail = downDetail(page);
        }
        outcome.fetch = std::move(page.report);
    } catch (const std::exception& error) {
        outcome.cause = texts::kCauseFailed;
        outcome.detail = std::string("the fetch failed: ") + error.what();
    }
    outcome.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    outcome.verdict = gotPage ? Verdict::Up : Verdict::Down;
    outcome.changed = outcome.verdict != last_;
    last_ = outcome.verdict;
    try {
        outcome.status = verdictStatus(outcome.verdict, clock_());
    } catch (const std::exception&) {
        // Without a time there is no verdict text: the line keeps what it showed.
        outcome.status = texts::kStatusConnecting;
    }
    return outcome;
}

std::error_code PollCycle::record(const std::string& url, const std::string& status)
{
    makeLogFolder(logFolder_);
    LogFile log(logPath_);
    log.writeLine(logRecord(url, status));
    return log.error();
}

} // namespace check
