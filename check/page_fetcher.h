#pragma once

#include "check/internet_session.h"

#include <cstddef>
#include <string>

namespace check {

// The verdict needs a single byte; the cap keeps a huge or endless response (a media stream,
// say) from exhausting memory or running on until the time-out.
inline constexpr std::size_t kMaxBodyBytes = std::size_t{16} << 20;

// How far this computer's own network reaches, as NetworkManager tells it: to the internet (or
// nothing is known), nowhere, to a captive portal that asks to sign in first, or to the local
// network only.
enum class Reach { Internet, Nowhere, Portal, LocalNetwork };

// What one fetch brought back: the body, empty when nothing could be fetched, and how it went.
struct Page {
    // A body alone is a page, as test stand-ins for the network give it.
    Page(std::string body = {}, InternetReport report = {}) : body(std::move(body)), report(std::move(report)) {}

    std::string body;
    InternetReport report;
    // The check's time ran out while this computer's network reached only this far, so what came
    // back tells nothing of the site; Internet when the network held nothing up.
    Reach network = Reach::Internet;
};

// Fetches `url`, taken as a browser takes typed text (see browserUrl), and returns its body, or
// the empty text when nothing could be fetched, with how it went. Never throws. The URL is taken
// as the locale's 8-bit text.
Page fetchPage(const std::string& url, const InternetLimits& limits = {});

} // namespace check
