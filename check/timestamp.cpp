#include "check/timestamp.h"

#include <array>
#include <ctime>
#include <stdexcept>

namespace check {

std::string formatTimestamp(std::chrono::system_clock::time_point when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        throw std::runtime_error("local time unavailable");
    const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0;
    std::array<char, 128> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), midnight ? "%x" : "%x %X", &local);
    if (length == 0)
        throw std::runtime_error("timestamp does not fit");
    return std::string(text.data(), length);
}

} // namespace check
