#include "check/internet_session.h"

#include "check/curl_transfer.h"

#include <curl/curl.h>

#include <exception>
#include <utility>

namespace check {

namespace {

// Never empty: a look-up that fails or names nothing means a direct connection.
ProxyList lookUp(const ProxyLookup& proxies, const std::string& url)
{
    ProxyList found;
    try {
        if (proxies)
            found = proxies(url);
    } catch (const std::exception& error) {
        found = ProxyList({}, std::string("the proxy look-up failed: ") + error.what());
    }
    if (found.entries.empty())
        found.entries.emplace_back();
    return found;
}

} // namespace

InternetResponse::InternetResponse() = default;
InternetResponse::InternetResponse(InternetResponse&&) noexcept = default;
InternetResponse& InternetResponse::operator=(InternetResponse&&) noexcept = default;
InternetResponse::~InternetResponse() = default;

std::size_t InternetResponse::read(std::span<char> buffer)
{
    if (!transfer_ || buffer.empty())
        return 0;
    try {
        const std::size_t count = transfer_->read(buffer);
        if (count == 0)
            transfer_->describe(report_);
        return count;
    } catch (const std::exception& error) {
        report_.error = CURLE_OUT_OF_MEMORY;
        report_.message = error.what();
        return 0;
    }
}

InternetSession::InternetSession(std::string agent, InternetLimits limits, ProxyLookup proxies)
    : agent_(std::move(agent)), limits_(limits), proxies_(std::move(proxies))
{
}

InternetResponse InternetSession::open(const std::string& url) const
{
    InternetResponse response;
    InternetReport& told = response.report_;
    try {
        auto transfer = std::make_unique<CurlTransfer>();
        const bool prepared = transfer->prepare(url, agent_, limits_);
        if (prepared) {
            // The look-up belongs to every check: the settings may have changed since the last
            // one. Proxies are tried in the order named, moving on only from one that cannot be
            // connected to; whatever a reachable proxy answers is the answer.
            const ProxyList proxies = lookUp(proxies_, url);
            told.proxyLookupProblem = proxies.problem;
            for (std::size_t i = 0; i < proxies.entries.size(); ++i) {
                if (!transfer->send(proxies.entries[i], proxies.entries.size() - i))
                    break;
                transfer->waitForHeaders();
                if (!transfer->proxyUnreachable())
                    break;
            }
        }
        transfer->describe(told);
        if (prepared && transfer->hasBody())
            response.transfer_ = std::move(transfer);
    } catch (const std::exception& error) {
        told.error = CURLE_OUT_OF_MEMORY;
        told.message = error.what();
    }
    return response;
}

} // namespace check
