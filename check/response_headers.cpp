#include "check/response_headers.h"

#include "check/ascii_text.h"

namespace check {

namespace {

constexpr std::string_view kProxyStatus = "proxy-status";
constexpr std::string_view kSquidError = "x-squid-error";
constexpr std::string_view kErrorParameter = "error";

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
    return colon != std::string_view::npos && equalsIgnoringCase(trimmed(line.substr(0, colon)), name);
}

bool marksProxyErrorPage(std::string_view line)
{
    if (headerIs(line, kSquidError))
        return true;
    return headerIs(line, kProxyStatus) && hasErrorParameter(line.substr(line.find(':') + 1));
}

} // namespace check
