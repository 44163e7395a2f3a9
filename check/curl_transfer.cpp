#include "check/internet.h"

#include "check/ascii_text.h"
#include "check/response_headers.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <optional>

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

bool ensureCurlInitialised()
{
    static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ok;
}

struct MultiCleanup {
    void operator()(CURLM* multi) const noexcept { curl_multi_cleanup(multi); }
};
struct EasyCleanup {
    void operator()(CURL* easy) const noexcept { curl_easy_cleanup(easy); }
};
struct UrlCleanup {
    void operator()(CURLU* url) const noexcept { curl_url_cleanup(url); }
};

} // namespace

class InternetSession {
public:
    InternetSession(std::string agent, const InternetLimits& limits, ProxyLookup proxies, CURLM* multi)
        : agent_(std::move(agent)), limits_(limits), proxies_(std::move(proxies)), multi_(multi, MultiCleanup{})
    {
    }

    const std::string& agent() const { return agent_; }
    const InternetLimits& limits() const { return limits_; }
    // Shared so that a request may safely outlive the session that opened it.
    const std::shared_ptr<CURLM>& multi() const { return multi_; }

    // Never empty: a look-up that fails or names nothing means a direct connection.
    ProxyList proxiesFor(const std::string& url) const
    {
        ProxyList proxies;
        try {
            if (proxies_)
                proxies = proxies_(url);
        } catch (const std::exception& error) {
            proxies = ProxyList({}, std::string("the proxy look-up failed: ") + error.what());
        }
        if (proxies.entries.empty())
            proxies.entries.emplace_back();
        return proxies;
    }

private:
    std::string agent_;
    InternetLimits limits_;
    ProxyLookup proxies_;
    std::shared_ptr<CURLM> multi_;
};

class InternetRequest {
public:
    explicit InternetRequest(std::shared_ptr<CURLM> multi) : multi_(std::move(multi)) {}

    ~InternetRequest()
    {
        if (added_)
            curl_multi_remove_handle(multi_.get(), easy_.get());
    }

    InternetRequest(const InternetRequest&) = delete;
    InternetRequest& operator=(const InternetRequest&) = delete;

    bool prepare(const InternetSession& session, const std::string& url);
    bool send(const ProxyEntry& entry, std::size_t entriesLeft);
    void waitForHeaders();
    bool proxyUnreachable() const;
    bool failedWithoutBody() const { return attempt_.done && attempt_.result != CURLE_OK && unread() == 0; }
    bool proxyErrorPage() const { return attempt_.proxyErrorPage; }
    std::size_t read(std::span<char> buffer);
    // Tells how the latest attempt went, as far as it has gone.
    void describe(InternetReport& report) const;

private:
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);

    std::size_t unread() const { return attempt_.pending.size() - attempt_.consumed; }
    // Ends the attempt as failed, for a reason libcurl did not give itself.
    void fail(CURLcode reason, std::string_view words);
    void step();
    void collectResult();

    std::shared_ptr<CURLM> multi_;
    std::unique_ptr<CURLU, UrlCleanup> url_{curl_url()};
    std::unique_ptr<CURL, EasyCleanup> easy_{curl_easy_init()};
    bool added_ = false;
    InternetLimits limits_;
    SteadyClock::time_point deadline_;
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

void InternetRequest::fail(CURLcode reason, std::string_view words)
{
    attempt_.done = true;
    attempt_.result = reason;
    attempt_.failure = words;
}

void InternetRequest::describe(InternetReport& report) const
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

// Parses the URL and sets everything about the transfer but its proxy.
bool InternetRequest::prepare(const InternetSession& session, const std::string& url)
{
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
    limits_ = session.limits();
    deadline_ = SteadyClock::now() + limits_.totalTimeout;
    const bool configured = curl_easy_setopt(easy, CURLOPT_CURLU, url_.get()) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, kAllowedSchemes) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedSchemes) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_USERAGENT, session.agent().c_str()) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_MAXREDIRS, limits_.maxRedirects) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &InternetRequest::onHeader) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_HEADERDATA, this) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &InternetRequest::onBody) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_WRITEDATA, this) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText_.data()) == CURLE_OK;
    // libcurl keeps no response cache, so every request already goes to the server (or proxy).
    if (!configured) {
        fail(CURLE_FAILED_INIT, "libcurl refused the request's options");
        return false;
    }
    return true;
}

// Starts the transfer afresh through `entry`'s proxy, within what is left of the time
// the whole fetch may take. Its connection may take no more than its share of that time, so
// that one which never answers leaves the `entriesLeft` - 1 after it their chance.
bool InternetRequest::send(const ProxyEntry& entry, std::size_t entriesLeft)
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
bool InternetRequest::proxyUnreachable() const
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

std::size_t InternetRequest::onHeader(char* data, std::size_t size, std::size_t count, void* self)
{
    auto& request = *static_cast<InternetRequest*>(self);
    Attempt& attempt = request.attempt_;
    const std::size_t bytes = size * count;
    const std::string_view line(data, bytes);
    // Each response's header block starts with its status line; only the final one counts.
    if (line.starts_with("HTTP/")) {
        attempt.proxyErrorPage = false;
        attempt.redirecting = false;
        // The URL of the request this response answers: each redirect followed replaces it.
        const char* url = nullptr;
        curl_easy_getinfo(request.easy_.get(), CURLINFO_EFFECTIVE_URL, &url);
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
        curl_easy_getinfo(request.easy_.get(), CURLINFO_RESPONSE_CODE, &code);
        const bool interim = code < 200 || (code / 100 == 3 && attempt.redirecting);
        if (!interim)
            attempt.headersDone = true;
    }
    return bytes;
}

std::size_t InternetRequest::onBody(char* data, std::size_t size, std::size_t count, void* self)
{
    auto& request = *static_cast<InternetRequest*>(self);
    Attempt& attempt = request.attempt_;
    const std::size_t bytes = size * count;
    if (request.unread() >= kHighWater) {
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

void InternetRequest::collectResult()
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
void InternetRequest::step()
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

void InternetRequest::waitForHeaders()
{
    while (!attempt_.headersDone && !attempt_.done)
        step();
}

std::size_t InternetRequest::read(std::span<char> buffer)
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

void InternetCloser::operator()(InternetSession* session) const noexcept
{
    delete session;
}

void InternetCloser::operator()(InternetRequest* request) const noexcept
{
    delete request;
}

SessionHandle internetOpen(std::string_view agent, const InternetLimits& limits, ProxyLookup proxies)
{
    try {
        if (!ensureCurlInitialised())
            return {};
        CURLM* multi = curl_multi_init();
        if (multi == nullptr)
            return {};
        return SessionHandle(new InternetSession(std::string(agent), limits, std::move(proxies), multi));
    } catch (const std::bad_alloc&) {
        return {};
    }
}

RequestHandle internetOpenUrl(InternetSession* session, const std::string& url, InternetReport* report)
{
    InternetReport ignored;
    InternetReport& told = report != nullptr ? *report : ignored;
    told = {};
    if (session == nullptr) {
        told.error = CURLE_FAILED_INIT;
        told.message = "no internet session: libcurl could not be started";
        return {};
    }
    try {
        RequestHandle request(new InternetRequest(session->multi()));
        const bool prepared = request->prepare(*session, url);
        if (prepared) {
            // The look-up belongs to every check: the settings may have changed since the last
            // one. Proxies are tried in the order named, moving on only from one that cannot be
            // connected to; whatever a reachable proxy answers is the answer.
            const ProxyList proxies = session->proxiesFor(url);
            told.proxyLookupProblem = proxies.problem;
            for (std::size_t i = 0; i < proxies.entries.size(); ++i) {
                if (!request->send(proxies.entries[i], proxies.entries.size() - i))
                    break;
                request->waitForHeaders();
                if (!request->proxyUnreachable())
                    break;
            }
        }
        request->describe(told);
        if (!prepared || request->failedWithoutBody() || request->proxyErrorPage())
            return {};
        return request;
    } catch (const std::exception& error) {
        told.error = CURLE_OUT_OF_MEMORY;
        told.message = error.what();
        return {};
    }
}

std::size_t internetReadFile(InternetRequest* request, std::span<char> buffer, InternetReport* report)
{
    if (request == nullptr || buffer.empty())
        return 0;
    try {
        const std::size_t count = request->read(buffer);
        if (count == 0 && report != nullptr)
            request->describe(*report);
        return count;
    } catch (const std::exception& error) {
        if (report != nullptr) {
            report->error = CURLE_OUT_OF_MEMORY;
            report->message = error.what();
        }
        return 0;
    }
}

} // namespace check
