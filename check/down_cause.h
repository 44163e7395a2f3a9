#pragma once

#include "check/page_fetcher.h"

#include <string>

// Why a fetch brought back no page, said twice: once for the user, once for a program.
namespace check {

// One short line for the user, by the family of what went wrong.
std::string downCause(const Page& page);

// What went wrong, for diagnostics: libcurl's code and words, or what the answer lacked.
std::string downDetail(const Page& page);

} // namespace check
