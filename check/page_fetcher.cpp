#include "check/page_fetcher.h"

#include "check/check_texts.h"
#include "check/typed_url.h"

#include <algorithm>
#include <array>
#include <new>
#include <span>

namespace check {

Page fetchPage(const std::string& url, const InternetLimits& limits)
{
    Page page;
    try {
        SessionHandle session = internetOpen(texts::agentName(), limits);
        RequestHandle request = internetOpenUrl(session.get(), browserUrl(url), &page.report);
        std::array<char, kReadBufferSize> buffer;
        for (;;) {
            const std::size_t wanted = std::min(buffer.size(), kMaxBodyBytes - page.body.size());
            const std::size_t count = internetReadFile(request.get(), std::span(buffer).first(wanted), &page.report);
            page.body.append(buffer.data(), count);
            if (count == 0 || page.body.size() >= kMaxBodyBytes)
                break;
        }
        internetCloseHandle(request);
        internetCloseHandle(session);
    } catch (const std::bad_alloc&) {
        // Out of memory while growing the body: what was read so far still tells the verdict.
    }
    return page;
}

} // namespace check
