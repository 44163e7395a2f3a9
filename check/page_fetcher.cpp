#include "check/page_fetcher.h"

#include "check/check_texts.h"
#include "check/typed_url.h"

#include <algorithm>
#include <array>
#include <new>
#include <span>

namespace check {

namespace {

constexpr std::size_t kReadBufferSize = 2048;

// Appends the response's body to `body`, up to the cap. Out of memory while growing it, what
// was read so far still tells the verdict.
void readBody(InternetResponse& response, std::string& body) noexcept
{
    try {
        std::array<char, kReadBufferSize> buffer;
        for (;;) {
            const std::size_t wanted = std::min(buffer.size(), kMaxBodyBytes - body.size());
            const std::size_t count = response.read(std::span(buffer).first(wanted));
            body.append(buffer.data(), count);
            if (count == 0 || body.size() >= kMaxBodyBytes)
                return;
        }
    } catch (const std::bad_alloc&) {
    }
}

} // namespace

Page fetchPage(const std::string& url, const InternetLimits& limits)
{
    Page page;
    try {
        InternetResponse response = InternetSession(texts::agentName(), limits).open(browserUrl(url));
        readBody(response, page.body);
        page.report = response.report();
    } catch (const std::bad_alloc&) {
        // Out of memory for the URL or for the report: the page stays empty, as after a failure.
    }
    return page;
}

} // namespace check
