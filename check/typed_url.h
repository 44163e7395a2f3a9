#pragma once

#include <string>
#include <string_view>

namespace check {

// The URL box text as a browser takes it: leading and trailing spaces and control characters
// dropped, tabs and line breaks removed wherever they are, the spaces left percent-encoded.
// Everything else, the scheme included, is left as typed: nothing is guessed.
std::string browserUrl(std::string_view typed);

} // namespace check
