#include "check/ascii_text.h"

#include <algorithm>
#include <cctype>

namespace check {

namespace {

constexpr std::string_view kWhitespace = " \t\r\n";

} // namespace

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(kWhitespace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kWhitespace) - first + 1);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

} // namespace check
