#pragma once

#include "check/site_window.h"
#include "check/timestamp.h"

#include <cstdint>
#include <functional>
#include <string>

namespace check {

using PageFetcher = std::function<std::string(const std::string& url)>;

// The status line a verdict leaves: its opening, the timestamp of `when`, and the close.
std::string verdictStatus(bool up, std::chrono::system_clock::time_point when);

// One check of the watched site, and the verdict it leaves for the next one.
class PollCycle {
public:
    // `logFolder` is where the check log is kept; it is made at the first record if missing.
    PollCycle(SiteWindow& window, PageFetcher fetch, Clock clock, std::string logFolder);

    // Fetches the URL, shows the verdict, alerts when it changed, logs it. Never throws: a step
    // that fails is skipped and the next one runs.
    void PollServer() noexcept;

    // 1 when the last check found the site up; 0 after a down verdict or before any up one.
    std::int16_t siteUp() const { return SiteUp; }

private:
    void AlertUser(std::string_view marker);

    SiteWindow& window_;
    PageFetcher fetch_;
    Clock clock_;
    std::string logFolder_;
    std::string logPath_;
    std::int16_t SiteUp = 0;
};

} // namespace check
