#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace check {

using Clock = std::function<std::chrono::system_clock::time_point()>;

// The local date and time in the C library's locale (LC_TIME): short date, a space and the
// long time; at exactly midnight the date alone.
std::string formatTimestamp(std::chrono::system_clock::time_point when);

} // namespace check
