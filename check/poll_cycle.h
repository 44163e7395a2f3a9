#pragma once

#include "check/page_fetcher.h"
#include "check/timestamp.h"

#include <chrono>
#include <functional>
#include <string>
#include <system_error>

namespace check {

// The time from the end of one check to the start of the next.
inline constexpr std::chrono::seconds kPollInterval{60};

// A site is up when its answer carries at least one byte of body, whatever its status.
enum class Verdict { Down, Up };

// Fetches a URL within the limits given.
using PageFetcher = std::function<Page(const std::string& url, const InternetLimits& limits)>;

// The status line a verdict leaves: its opening, the timestamp of `when`, and the close.
std::string verdictStatus(Verdict verdict, std::chrono::system_clock::time_point when);

// What one check found.
struct Outcome {
    Verdict verdict = Verdict::Down;
    // The verdict differs from the one before; before the first check the site counts as down,
    // so a first up verdict is a change and a first down one is not.
    bool changed = false;
    // The status line: the verdict with its time.
    std::string status;
    // Why the site was found down: one line for the user, and the detail for a program to read
    // (libcurl's code and words, or what the answer lacked). Both empty when it is up.
    std::string cause;
    std::string detail;
    // How the fetch went (the proxy it went through, the proxy look-up's trouble), and how long.
    InternetReport fetch;
    std::chrono::milliseconds took{};
};

// The checks of the watched site, one at a time, and the verdict that lasts from one to the next.
class PollCycle {
public:
    // `logFolder` is where the check log is kept; it is made at the first record if missing.
    // Each fetch gets `limits`, the check's whole budget among them.
    PollCycle(PageFetcher fetch, Clock clock, std::string logFolder, InternetLimits limits = {});

    // Fetches `url` and judges the site by what came back. Never throws.
    Outcome check(const std::string& url);

    // Appends the record of a check of `url` that left the status line `status`. The system's
    // error when it could not be written; nothing else of the check depends on it.
    std::error_code record(const std::string& url, const std::string& status);

    const std::string& logPath() const { return logPath_; }

private:
    PageFetcher fetch_;
    Clock clock_;
    InternetLimits limits_;
    std::string logFolder_;
    std::string logPath_;
    Verdict last_ = Verdict::Down;
};

} // namespace check
