#pragma once

#include "check/internet.h"

#include <cstddef>
#include <string>

namespace check {

inline constexpr std::size_t kReadBufferSize = 2048;

// The verdict needs a single byte; the cap keeps a huge or endless response (a media stream,
// say) from exhausting memory or running on until the time-out.
inline constexpr std::size_t kMaxBodyBytes = std::size_t{16} << 20;

// Fetches `url`, taken as a browser takes typed text (see browserUrl), and returns its body, or
// the empty text when nothing could be fetched. Never throws. The URL is taken as the locale's
// 8-bit text.
std::string FetchPage(const std::string& url, const InternetLimits& limits = {});

} // namespace check
