#include "check/down_cause.h"

#include "check/check_texts.h"

#include <curl/curl.h>

namespace check {

std::string downCause(const Page& page)
{
    switch (page.network) {
    case Reach::Nowhere:
        return std::string(texts::kCauseOffline);
    case Reach::Portal:
        return std::string(texts::kCauseSignIn);
    case Reach::LocalNetwork:
        return std::string(texts::kCauseNoInternet);
    case Reach::Internet:
        break;
    }
    const InternetReport& fetch = page.report;
    if (fetch.proxyErrorPage)
        return std::string(texts::kCauseProxyPage);
    const bool viaProxy = !fetch.proxy.empty();
    switch (fetch.error) {
    case CURLE_OK:
    case CURLE_GOT_NOTHING:
        return std::string(texts::kCauseEmpty);
    case CURLE_COULDNT_RESOLVE_HOST:
        return std::string(texts::kCauseUnresolved);
    case CURLE_COULDNT_CONNECT:
        return std::string(viaProxy ? texts::kCauseProxyRefused : texts::kCauseRefused);
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_PROXY:
        return std::string(texts::kCauseProxyRefused);
    case CURLE_OPERATION_TIMEDOUT:
        return std::string(texts::kCauseTimedOutOpen) + std::to_string(kCheckBudget.count())
            + std::string(texts::kCauseTimedOutClose);
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return std::string(texts::kCauseUntrusted);
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return std::string(texts::kCauseAddress);
    case CURLE_TOO_MANY_REDIRECTS:
        return std::string(texts::kCauseRedirects);
    default:
        return std::string(texts::kCauseFailed);
    }
}

std::string downDetail(const Page& page)
{
    const InternetReport& fetch = page.report;
    std::string came;
    if (fetch.proxyErrorPage)
        came = "the proxy answered with an error page of its own";
    else if (fetch.error != CURLE_OK)
        came = "libcurl error " + std::to_string(fetch.error) + ": " + fetch.message;
    else if (!page.body.empty())
        came = "the page came over plain http, perhaps from the sign-in page";
    else
        came = "the answer had an empty body";
    switch (page.network) {
    case Reach::Nowhere:
        return "no network connection until the check's time ran out; " + came;
    case Reach::Portal:
        return "the network asked to sign in until the check's time ran out; " + came;
    case Reach::LocalNetwork:
        return "the network reached the local network only until the check's time ran out; " + came;
    case Reach::Internet:
        break;
    }
    return came;
}

} // namespace check
