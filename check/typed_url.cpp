#include "check/typed_url.h"

namespace check {

namespace {

// A pasted URL often brings a space, a tab or a line break along; none of them is ever part of
// an address.
bool isControlOrSpace(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

bool isTabOrLineBreak(char c)
{
    return c == '\t' || c == '\n' || c == '\r';
}

// Characters that end the authority, or show that a "://" seen after them is no scheme's.
constexpr std::string_view kAuthorityEnd = "/?#";
constexpr char kUserInfoEnd = '@';
constexpr char kPasswordStart = ':';
constexpr std::string_view kMask = "****";

} // namespace

std::string browserUrl(std::string_view typed)
{
    while (!typed.empty() && isControlOrSpace(typed.front()))
        typed.remove_prefix(1);
    while (!typed.empty() && isControlOrSpace(typed.back()))
        typed.remove_suffix(1);

    std::string url;
    url.reserve(typed.size());
    for (const char c : typed) {
        if (isTabOrLineBreak(c))
            continue;
        if (c == ' ')
            url += "%20";
        else
            url += c;
    }
    return url;
}

std::string withoutPassword(std::string_view url)
{
    constexpr auto npos = std::string_view::npos;
    const auto schemeEnd = url.find(kSchemeEnd);
    if (schemeEnd == npos || url.substr(0, schemeEnd).find_first_of(kAuthorityEnd) != npos)
        return std::string(url);
    const auto authorityStart = schemeEnd + kSchemeEnd.size();
    const auto authorityEnd = url.find_first_of(kAuthorityEnd, authorityStart);
    const std::string_view authority = url.substr(authorityStart, authorityEnd - authorityStart);
    // The last "@" ends the user-info: a raw "@" in a password is hidden along with the rest.
    const auto userInfoEnd = authority.rfind(kUserInfoEnd);
    if (userInfoEnd == npos)
        return std::string(url);
    const auto passwordStart = authority.substr(0, userInfoEnd).find(kPasswordStart);
    if (passwordStart == npos || passwordStart + 1 == userInfoEnd)
        return std::string(url);

    std::string shown(url.substr(0, authorityStart + passwordStart + 1));
    shown += kMask;
    shown += url.substr(authorityStart + userInfoEnd);
    return shown;
}

} // namespace check
