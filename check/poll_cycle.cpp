#include "check/poll_cycle.h"

#include "check/check_log.h"
#include "check/check_texts.h"
#include "check/log_place.h"
#include "check/url_password.h"

#include <utility>

namespace check {

namespace {

// Runs one step; a failure abandons that step alone.
template <typename Step>
void attempt(Step&& step) noexcept
{
    try {
        step();
    } catch (...) {
    }
}

// A condition that cannot be evaluated lets its guarded step run.
template <typename Condition>
bool holds(Condition&& condition) noexcept
{
    try {
        return condition();
    } catch (...) {
        return true;
    }
}

} // namespace

std::string verdictStatus(bool up, std::chrono::system_clock::time_point when)
{
    std::string status(up ? texts::kStatusUpOpen : texts::kStatusDownOpen);
    status += formatTimestamp(when);
    status += texts::kStatusClose;
    return status;
}

PollCycle::PollCycle(SiteWindow& window, PageFetcher fetch, Clock clock, std::string logFolder)
    : window_(window),
      fetch_(std::move(fetch)),
      clock_(std::move(clock)),
      logFolder_(std::move(logFolder)),
      logPath_(logPath(logFolder_))
{
}

void PollCycle::PollServer() noexcept
{
    attempt([&] { window_.setStatusText(std::string(texts::kStatusConnecting)); });

    std::string body;
    attempt([&] { body = fetch_(window_.urlText()); });

    const bool up = !holds([&] { return body.empty(); });
    attempt([&] { window_.setStatusText(verdictStatus(up, clock_())); });
    if (holds([&] { return window_.state() == WindowState::Minimized; }))
        attempt([&] { window_.setCaption(std::string(up ? texts::kCaptionUp : texts::kCaptionDown)); });
    const std::int16_t verdict = up ? 1 : 0;
    if (SiteUp != verdict)
        attempt([&] { AlertUser(up ? texts::kCaptionUp : texts::kCaptionDown); });
    SiteUp = verdict;
    // The page is needed for its verdict only; a large one should not linger until the log is written.
    body.clear();
    body.shrink_to_fit();

    // URL and status are read only once the file is open, so the record shows them as they
    // stand at the moment of logging.
    attempt([&] { makeLogFolder(logFolder_); });
    LogFile log(logPath_);
    attempt([&] { log.writeLine(logRecord(window_.urlText(), window_.statusText())); });
}

void PollCycle::AlertUser(std::string_view marker)
{
    window_.beep();
    if (window_.state() == WindowState::Minimized)
        window_.setState(WindowState::Normal);
    window_.bringToFront();
    // The desktop may refuse the raise and the bell is often silent; a notification is seen, on
    // screen and in the desktop's history, so it shows no password.
    window_.notify(std::string(marker), withoutPassword(window_.urlText()) + '\n' + window_.statusText());
}

} // namespace check
