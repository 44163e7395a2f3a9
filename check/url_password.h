#pragma once

#include <string>
#include <string_view>

namespace check {

// The URL as it may be written down or shown on screen: the password of its user-info replaced by
// "****", everything else as typed. A URL whose user-info cannot be told apart (no "://", an "@"
// only in the path, query or fragment) comes back unchanged.
std::string withoutPassword(std::string_view url);

} // namespace check
