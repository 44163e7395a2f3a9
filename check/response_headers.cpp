#include "response_headers.h"

#include <algorithm>
#include <cctype>

namespace check {

namespace {

constexpr std::string_view kProxyStatus = "proxy-status";
constexpr std::string_view kSquidError = "x-squid-error";
constexpr std::string_view kErrorParameter = "error";
constexpr std::string_view kWhitespace = " \t\r\n";

bool sameName(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(kWhitespace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kWhitespace) - first + 1);
}

// Proxy-Status is a structured-field list: "name; key=value; key="quoted", next-member; ...".
// Looks at every parameter key outside quoted strings, so a `details` text that happens to say
// "error=" is not taken for the parameter.
bool hasErrorParameter(std::string_view value)
{
    bool quoted = false;
    bool escaped = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quoted) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                quoted = false;
            continue;
        }
        if (c == '"') {
            quoted = true;
            continue;
        }
        if (c != ';')
            continue;
        const auto key = value.find_first_not_of(" \t", i + 1);
        if (key == std::string_view::npos)
            return false;
        const auto keyEnd = value.find_first_of("=;, \t", key);
        if (value.substr(key, keyEnd - key) == kErrorParameter)
            return true;
    }
    return false;
}

} // namespace

bool headerIs(std::string_view line, std::string_view name)
{
    const auto colon = line.find(':');
    return colon != std::string_view::npos && sameName(trimmed(line.substr(0, colon)), name);
}

bool marksProxyErrorPage(std::string_view line)
{
    if (headerIs(line, kSquidError))
        return true;
    return headerIs(line, kProxyStatus) && hasErrorParameter(line.substr(line.find(':') + 1));
}

} // namespace check
