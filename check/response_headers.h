#pragma once

#include <string_view>

// Reading the header lines of a response, one at a time, as libcurl hands them over.
namespace check {

// True when `line` is a header named `name` (compared without regard to case).
bool headerIs(std::string_view line, std::string_view name);

// True when `line` says that a proxy wrote the response itself instead of passing on the site's:
// a Proxy-Status header with an `error` parameter, or Squid's X-Squid-Error. Such a page tells
// nothing about the site.
bool marksProxyErrorPage(std::string_view line);

} // namespace check
