#include "check/curl_transfer.h"

#include "check/ascii_text.h"
#include "check/response_headers.h"

#include <algorithm>
#include <cstring>

namespace check {

namespace {

// Only what a web monitor has business fetching, for the URL and for every redirect.
constexpr const char* kAllowedSchemes = "http,https,ftp";

// Body bytes held for the reader before the transfer is paused: a few of libcurl's own
// 16 KiB writes, so memory stays flat whatever the body's size.
constexpr std::size_t kHighWater = 4 * CURL_MAX_WRITE_SIZE;

constexpr int kPollMilliseconds = 1000;

constexpr std::string_view kLocationHeader = "Location";
constexpr std::string_view kHttpsPrefix = "https://";

// Where the look-up has decided which hosts bypass the proxy, an empty list keeps libcurl from
// applying no_proxy from the environment on top of that decision; none lets libcurl apply it.
constexpr const char* kNoBypassList = "";
constexpr const char* kEnvironmentBypassList = nullptr;

using SteadyClock = std::chrono::steady_clock;

// Null when libcurl cannot be started.
CURLM* newMulti()
{
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return initialised ? curl_multi_init() : nullptr;
}

} // namespace

CurlTransfer::CurlTransfer() : multi_(newMulti()), url_(curl_url()), easy_(curl_easy_init()) {}

CurlTransfer::~CurlTransfer()
{
    if (added_)
        curl_multi_remove_handle(multi_.get(), easy_.get());
}

bool CurlTransfer::hasBody() const
{
    const bool failedWithoutBody = attempt_.done && attempt_.result != CURLE_OK && unread() == 0;
    return !failedWithoutBody && !attempt_.proxyErrorPage;
}

void CurlTransfer::fail(CURLcode reason, std::string_view words)
{
    attempt_.done = true;
    attempt_.result = reason;
    attempt_.failure = words;
}

void CurlTransfer::describe(InternetReport& report) const
{
    report.proxy = attempt_.proxy;
    report.proxyErrorPage = attempt_.proxyErrorPage;
    report.overHttps = attempt_.overHttps.value_or(false);
    report.error = attempt_.result;
    if (attempt_.result == CURLE_OK)
        report.message.clear();
    else if (!attempt_.failure.empty())
        report.message = attempt_.failure;
    else if (errorText_.front() != '\0')
        report.message = errorText_.data();
    else
        report.message = curl_easy_strerror(attempt_.result);
}

bool CurlTransfer::prepare(const std::string& url, const std::string& agent, const InternetLimits& limits)
{
    if (!multi_) {
        fail(CURLE_FAILED_INIT, "no internet session: libcurl could not be started");
        return false;
    }
    if (!url_ || !easy_) {
        fail(CURLE_OUT_OF_MEMORY, "libcurl could not make a request");
        return false;
    }
    // A NUL would silently cut the URL short and fetch some other address.
    if (url.find('\0') != std::string::npos) {
        fail(CURLE_URL_MALFORMAT, "the URL holds a NUL character");
        return false;
    }
    // Parsed without scheme guessing: libcurl would otherwise take a bare host name for http.
    if (const CURLUcode parsed = curl_url_set(url_.get(), CURLUPART_URL, url.c_str(), 0); parsed != CURLUE_OK) {
        fail(CURLE_URL_MALFORMAT, curl_url_strerror(parsed));
        return false;
    }

    CURL* easy = easy_.get();
    limits_ = limits;
    deadline_ = SteadyClock::now() + limits_.totalTimeout;
    const bool configured = curl_easy_setopt(easy, CURLOPT_CURLU, url_.get()) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, kAllowedSchemes) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedSchemes) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str()) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_MAXREDIRS, limits_.maxRedirects) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_HEADERDATA, this) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlTransfer::onBody) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_WRITEDATA, this) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText_.data()) == CURLE_OK;
    // libcurl keeps no response cache, so every request already goes to the server (or proxy).
    if (!configured) {
        fail(CURLE_FAILED_INIT, "libcurl refused the request's options");
        return false;
    }
    return true;
}

// The connection may take no more than its share of the time left, so that a proxy which never
// answers leaves the `entriesLeft` - 1 after it their chance.
bool CurlTransfer::send(const ProxyEntry& entry, std::size_t entriesLeft)
{
    if (added_) {
        curl_multi_remove_handle(multi_.get(), easy_.get());
        added_ = false;
    }
    attempt_ = Attempt{};
    attempt_.proxy = entry.proxy;
    errorText_.front() = '\0';

    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - SteadyClock::now());
    if (left.count() <= 0) {
        fail(CURLE_OPERATION_TIMEDOUT, "no time was left to try this proxy");
        return false;
    }
    const auto share = left / static_cast<std::chrono::milliseconds::rep>(std::max<std::size_t>(entriesLeft, 1));
    const auto connectTimeout = std::min(share, limits_.connectTimeout);
    CURL* easy = easy_.get();
    const char* bypass = entry.curlAppliesNoProxy ? kEnvironmentBypassList : kNoBypassList;
    const bool configured = curl_easy_setopt(easy, CURLOPT_PROXY, entry.proxy.c_str()) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_NOPROXY, bypass) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectTimeout.count())) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count())) == CURLE_OK;
    if (!configured) {
        fail(CURLE_FAILED_INIT, "libcurl refused the proxy's options");
        return false;
    }
    if (curl_multi_add_handle(multi_.get(), easy) != CURLM_OK) {
        fail(CURLE_FAILED_INIT, "libcurl could not start the transfer");
        return false;
    }
    added_ = true;
    return true;
}

// The proxy itself could not be reached (unresolvable, refused, silent), as opposed to a proxy
// that answered, even with an error: only then is the next proxy worth trying.
bool CurlTransfer::proxyUnreachable() const
{
    if (!attempt_.done || attempt_.proxy.empty())
        return false;
    if (attempt_.result == CURLE_COULDNT_RESOLVE_PROXY)
        return true;
    // A proxy that never answered the connection attempt (a host that is down drops it) timed
    // out before any connection was made.
    curl_off_t connectTime = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_CONNECT_TIME_T, &connectTime);
    if (attempt_.result == CURLE_OPERATION_TIMEDOUT && connectTime == 0)
        return true;
    long tunnelCode = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_HTTP_CONNECTCODE, &tunnelCode);
    return attempt_.result == CURLE_COULDNT_CONNECT && tunnelCode == 0;
}

std::size_t CurlTransfer::onHeader(char* data, std::size_t size, std::size_t count, void* self)
{
    auto& transfer = *static_cast<CurlTransfer*>(self);
    Attempt& attempt = transfer.attempt_;
    const std::size_t bytes = size * count;
    const std::string_view line(data, bytes);
    // Each response's header block starts with its status line; only the final one counts.
    if (line.starts_with("HTTP/")) {
        attempt.proxyErrorPage = false;
        attempt.redirecting = false;
        // The URL of the request this response answers: each redirect followed replaces it.
        const char* url = nullptr;
        curl_easy_getinfo(transfer.easy_.get(), CURLINFO_EFFECTIVE_URL, &url);
        const std::string_view scheme = url != nullptr ? std::string_view(url).substr(0, kHttpsPrefix.size()) : "";
        attempt.overHttps = equalsIgnoringCase(scheme, kHttpsPrefix) && attempt.overHttps.value_or(true);
    } else if (headerIs(line, kLocationHeader)) {
        attempt.redirecting = true;
    } else if (marksProxyErrorPage(line)) {
        attempt.proxyErrorPage = true;
    }
    if (line == "\r\n" || line == "\n") {
        // The blank line ends a header block; only a final response's block ends the wait. A
        // redirect that is not followed (limit, scheme) fails the transfer, so a 3xx with a
        // Location is always followed by another block.
        long code = 0;
        curl_easy_getinfo(transfer.easy_.get(), CURLINFO_RESPONSE_CODE, &code);
        const bool interim = code < 200 || (code / 100 == 3 && attempt.redirecting);
        if (!interim)
            attempt.headersDone = true;
    }
    return bytes;
}

std::size_t CurlTransfer::onBody(char* data, std::size_t size, std::size_t count, void* self)
{
    auto& transfer = *static_cast<CurlTransfer*>(self);
    Attempt& attempt = transfer.attempt_;
    const std::size_t bytes = size * count;
    if (transfer.unread() >= kHighWater) {
        attempt.paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (attempt.consumed > 0) {
        attempt.pending.erase(0, attempt.consumed);
        attempt.consumed = 0;
    }
    attempt.pending.append(data, bytes);
    attempt.headersDone = true;
    return bytes;
}

void CurlTransfer::collectResult()
{
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_.get(), &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy_.get()) {
            attempt_.done = true;
            attempt_.result = message->data.result;
        }
    }
}

// Moves the transfer on by one round, waiting for the network only when it has nothing new.
void CurlTransfer::step()
{
    const std::size_t before = attempt_.pending.size();
    const bool headersBefore = attempt_.headersDone;
    int running = 0;
    if (const CURLMcode performed = curl_multi_perform(multi_.get(), &running); performed != CURLM_OK) {
        fail(CURLE_FAILED_INIT, curl_multi_strerror(performed));
        return;
    }
    collectResult();
    if (attempt_.done || attempt_.pending.size() != before || attempt_.headersDone != headersBefore)
        return;
    if (const CURLMcode polled = curl_multi_poll(multi_.get(), nullptr, 0, kPollMilliseconds, nullptr);
        polled != CURLM_OK)
        fail(CURLE_FAILED_INIT, curl_multi_strerror(polled));
}

void CurlTransfer::waitForHeaders()
{
    while (!attempt_.headersDone && !attempt_.done)
        step();
}

std::size_t CurlTransfer::read(std::span<char> buffer)
{
    while (unread() == 0 && !attempt_.done) {
        if (attempt_.paused) {
            attempt_.paused = false;
            // May deliver the held-back data straight into onBody.
            if (const CURLcode resumed = curl_easy_pause(easy_.get(), CURLPAUSE_CONT); resumed != CURLE_OK)
                fail(resumed, "the transfer could not be resumed");
            continue;
        }
        step();
    }
    const std::size_t count = std::min(buffer.size(), unread());
    std::memcpy(buffer.data(), attempt_.pending.data() + attempt_.consumed, count);
    attempt_.consumed += count;
    if (unread() == 0) {
        attempt_.pending.clear();
        attempt_.consumed = 0;
    }
    return count;
}

} // namespace check
