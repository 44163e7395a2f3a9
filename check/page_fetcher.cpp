#include "check/page_fetcher.h"

#include "check/check_texts.h"
#include "check/typed_url.h"

#include <algorithm>
#include <array>
#include <span>

namespace check {

std::string FetchPage(const std::string& url, const InternetLimits& limits)
{
    std::string result;
    try {
        SessionHandle session = internetOpen(texts::agentName(), limits);
        RequestHandle request = internetOpenUrl(session.get(), browserUrl(url));
        std::array<char, kReadBufferSize> buffer;
        for (;;) {
            const std::size_t wanted = std::min(buffer.size(), kMaxBodyBytes - result.size());
            const std::size_t count = internetReadFile(request.get(), std::span(buffer).first(wanted));
            result.append(buffer.data(), count);
            if (count == 0 || result.size() >= kMaxBodyBytes)
                break;
        }
        internetCloseHandle(request);
        internetCloseHandle(session);
    } catch (...) {
        // Out of memory while growing the body: what was read so far still tells the verdict.
    }
    return result;
}

} // namespace check
