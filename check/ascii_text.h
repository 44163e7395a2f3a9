#pragma once

#include <string_view>

// The little text handling that protocol words need: they are ASCII and compared without case.
namespace check {

// `text` without the spaces, tabs and line ends around it.
std::string_view trimmed(std::string_view text);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace check
