#pragma once

// One request on libcurl's multi interface, driven from the caller's thread: sent through one
// proxy after another, and paused while the reader lags behind, so memory stays flat whatever
// the body's size.

#include "check/internet_session.h"
#include "check/system_proxy.h"

#include <curl/curl.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace check {

class CurlTransfer {
public:
    CurlTransfer();
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // Parses the URL and sets everything about the transfer but its proxy; false when it cannot
    // be sent at all.
    bool prepare(const std::string& url, const std::string& agent, const InternetLimits& limits);
    // Starts the transfer afresh through `entry`'s proxy, within what is left of the time the
    // whole request may take; false when it could not be started.
    bool send(const ProxyEntry& entry, std::size_t entriesLeft);
    // Returns once the final response's headers have arrived, or the attempt has ended.
    void waitForHeaders();
    // The attempt ended because its proxy could not be reached: the next one is worth trying.
    bool proxyUnreachable() const;
    // There is a body to read: the attempt neither failed before one came nor brought a page the
    // proxy wrote itself.
    bool hasBody() const;
    std::size_t read(std::span<char> buffer);
    // Tells how the latest attempt went, as far as it has gone.
    void describe(InternetReport& report) const;

private:
    struct MultiCleanup {
        void operator()(CURLM* multi) const noexcept { curl_multi_cleanup(multi); }
    };
    struct UrlCleanup {
        void operator()(CURLU* url) const noexcept { curl_url_cleanup(url); }
    };
    struct EasyCleanup {
        void operator()(CURL* easy) const noexcept { curl_easy_cleanup(easy); }
    };

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);

    std::size_t unread() const { return attempt_.pending.size() - attempt_.consumed; }
    // Ends the attempt as failed, for a reason libcurl did not give itself.
    void fail(CURLcode reason, std::string_view words);
    void step();
    void collectResult();

    // Declared in this order so that the easy handle goes first, then the URL it points to, then
    // the multi handle.
    std::unique_ptr<CURLM, MultiCleanup> multi_;
    std::unique_ptr<CURLU, UrlCleanup> url_;
    std::unique_ptr<CURL, EasyCleanup> easy_;
    bool added_ = false;
    InternetLimits limits_;
    std::chrono::steady_clock::time_point deadline_;
    // libcurl's own words for a failure, more telling than those for its code alone.
    std::array<char, CURL_ERROR_SIZE> errorText_{};

    // What one attempt at the transfer has seen; the next proxy's attempt starts afresh.
    struct Attempt {
        std::string proxy;
        bool proxyErrorPage = false;
        bool redirecting = false;
        std::optional<bool> overHttps; // none until the first response

        std::string pending; // body bytes received and not yet read
        std::size_t consumed = 0;
        bool paused = false;
        bool headersDone = false;
        bool done = false;
        CURLcode result = CURLE_OK;
        std::string failure; // our words for a failure libcurl did not report
    };
    Attempt attempt_;
};

} // namespace check
