#include "check/url_password.h"

namespace check {

namespace {

constexpr std::string_view kSchemeEnd = "://";
// Characters that end the authority, or show that a "://" seen after them is no scheme's.
constexpr std::string_view kAuthorityEnd = "/?#";
constexpr char kUserInfoEnd = '@';
constexpr char kPasswordStart = ':';
constexpr std::string_view kMask = "****";

} // namespace

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
