#pragma once

#include <string>
#include <string_view>

// The URL as the user typed it: what is fetched, and what may be written down or shown.
namespace check {

// What ends a URL's scheme, and starts its authority.
inline constexpr std::string_view kSchemeEnd = "://";

// The URL box text as a browser takes it: leading and trailing spaces and control characters
// dropped, tabs and line breaks removed wherever they are, the spaces left percent-encoded.
// Everything else, the scheme included, is left as typed: nothing is guessed.
std::string browserUrl(std::string_view typed);

// The URL as it may be written down or shown on screen: the password of its user-info replaced by
// "****", everything else as typed. A URL whose user-info cannot be told apart (no "://", an "@"
// only in the path, query or fragment) comes back unchanged.
std::string withoutPassword(std::string_view url);

} // namespace check
