#include "internet.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace check {

namespace {

// Only what a web monitor has business fetching, for the URL and for every redirect.
constexpr const char* kAllowedSchemes = "http,https,ftp";

// Body bytes held for the reader before the transfer is paused: a few of libcurl's own
// 16 KiB writes, so memory stays flat whatever the body's size.
constexpr std::size_t kHighWater = 4 * CURL_MAX_WRITE_SIZE;

constexpr int kPollMilliseconds = 1000;

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
    InternetSession(std::string agent, const InternetLimits& limits, CURLM* multi)
        : agent_(std::move(agent)), limits_(limits), multi_(multi, MultiCleanup{})
    {
    }

    const std::string& agent() const { return agent_; }
    const InternetLimits& limits() const { return limits_; }
    // Shared so that a request may safely outlive the session that opened it.
    const std::shared_ptr<CURLM>& multi() const { return multi_; }

private:
    std::string agent_;
    InternetLimits limits_;
    std::shared_ptr<CURLM> multi_;
};

class InternetRequest {
public:
    explicit InternetRequest(std::shared_ptr<CURLM> multi) : multi_(std::move(multi))
    {
        errorBuffer_[0] = '\0';
    }

    ~InternetRequest()
    {
        if (added_)
            curl_multi_remove_handle(multi_.get(), easy_.get());
    }

    InternetRequest(const InternetRequest&) = delete;
    InternetRequest& operator=(const InternetRequest&) = delete;

    bool start(const InternetSession& session, const std::string& url);
    void waitForHeaders();
    bool failedWithoutBody() const { return done_ && result_ != CURLE_OK && unread() == 0; }
    std::size_t read(std::span<char> buffer);

private:
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);

    std::size_t unread() const { return pending_.size() - consumed_; }
    void fail(const char* why);
    void step();
    void collectResult();

    std::shared_ptr<CURLM> multi_;
    std::unique_ptr<CURLU, UrlCleanup> url_{curl_url()};
    std::unique_ptr<CURL, EasyCleanup> easy_{curl_easy_init()};
    char errorBuffer_[CURL_ERROR_SIZE];
    bool added_ = false;

    std::string pending_;
    std::size_t consumed_ = 0;
    bool paused_ = false;
    bool headersDone_ = false;
    bool done_ = false;
    CURLcode result_ = CURLE_OK;
};

void InternetRequest::fail(const char* why)
{
    std::snprintf(errorBuffer_, sizeof errorBuffer_, "%s", why);
    done_ = true;
    result_ = CURLE_FAILED_INIT;
}

bool InternetRequest::start(const InternetSession& session, const std::string& url)
{
    if (!url_ || !easy_) {
        fail("out of memory");
        return false;
    }
    // A NUL would silently cut the URL short and fetch some other address.
    if (url.find('\0') != std::string::npos) {
        fail("URL contains a NUL byte");
        return false;
    }
    // Parsed without scheme guessing: libcurl would otherwise take a bare host name for http.
    if (const CURLUcode rc = curl_url_set(url_.get(), CURLUPART_URL, url.c_str(), 0); rc != CURLUE_OK) {
        fail(curl_url_strerror(rc));
        return false;
    }

    CURL* easy = easy_.get();
    const InternetLimits& limits = session.limits();
    const bool configured = curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer_) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_CURLU, url_.get()) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, kAllowedSchemes) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedSchemes) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_USERAGENT, session.agent().c_str()) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_MAXREDIRS, limits.maxRedirects) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeout.count())) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeout.count())) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &InternetRequest::onHeader) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_HEADERDATA, this) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &InternetRequest::onBody) == CURLE_OK
        && curl_easy_setopt(easy, CURLOPT_WRITEDATA, this) == CURLE_OK;
    // libcurl keeps no response cache, so every request already goes to the server (or proxy).
    if (!configured) {
        fail("cannot configure the transfer");
        return false;
    }
    if (curl_multi_add_handle(multi_.get(), easy) != CURLM_OK) {
        fail("cannot start the transfer");
        return false;
    }
    added_ = true;
    return true;
}

std::size_t InternetRequest::onHeader(char* data, std::size_t size, std::size_t count, void* self)
{
    auto& request = *static_cast<InternetRequest*>(self);
    const std::size_t bytes = size * count;
    const std::string_view line(data, bytes);
    if (line == "\r\n" || line == "\n") {
        // The blank line ends a header block; only a final response's block ends the wait.
        long code = 0;
        char* redirect = nullptr;
        curl_easy_getinfo(request.easy_.get(), CURLINFO_RESPONSE_CODE, &code);
        curl_easy_getinfo(request.easy_.get(), CURLINFO_REDIRECT_URL, &redirect);
        const bool interim = code < 200 || (code / 100 == 3 && redirect != nullptr);
        if (!interim)
            request.headersDone_ = true;
    }
    return bytes;
}

std::size_t InternetRequest::onBody(char* data, std::size_t size, std::size_t count, void* self)
{
    auto& request = *static_cast<InternetRequest*>(self);
    const std::size_t bytes = size * count;
    if (request.unread() >= kHighWater) {
        request.paused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (request.consumed_ > 0) {
        request.pending_.erase(0, request.consumed_);
        request.consumed_ = 0;
    }
    request.pending_.append(data, bytes);
    request.headersDone_ = true;
    return bytes;
}

void InternetRequest::collectResult()
{
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_.get(), &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy_.get()) {
            done_ = true;
            result_ = message->data.result;
        }
    }
}

// Moves the transfer on by one round, waiting for the network only when it has nothing new.
void InternetRequest::step()
{
    const std::size_t before = pending_.size();
    const bool headersBefore = headersDone_;
    int running = 0;
    if (curl_multi_perform(multi_.get(), &running) != CURLM_OK) {
        fail("transfer failed");
        return;
    }
    collectResult();
    if (done_ || pending_.size() != before || headersDone_ != headersBefore)
        return;
    if (curl_multi_poll(multi_.get(), nullptr, 0, kPollMilliseconds, nullptr) != CURLM_OK)
        fail("transfer failed");
}

void InternetRequest::waitForHeaders()
{
    while (!headersDone_ && !done_)
        step();
}

std::size_t InternetRequest::read(std::span<char> buffer)
{
    while (unread() == 0 && !done_) {
        if (paused_) {
            paused_ = false;
            // May deliver the held-back data straight into onBody.
            if (curl_easy_pause(easy_.get(), CURLPAUSE_CONT) != CURLE_OK)
                fail("transfer failed");
            continue;
        }
        step();
    }
    const std::size_t count = std::min(buffer.size(), unread());
    std::memcpy(buffer.data(), pending_.data() + consumed_, count);
    consumed_ += count;
    if (unread() == 0) {
        pending_.clear();
        consumed_ = 0;
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

SessionHandle internetOpen(std::string_view agent, const InternetLimits& limits)
{
    try {
        if (!ensureCurlInitialised())
            return {};
        CURLM* multi = curl_multi_init();
        if (multi == nullptr)
            return {};
        return SessionHandle(new InternetSession(std::string(agent), limits, multi));
    } catch (...) {
        return {};
    }
}

RequestHandle internetOpenUrl(InternetSession* session, const std::string& url)
{
    if (session == nullptr)
        return {};
    try {
        RequestHandle request(new InternetRequest(session->multi()));
        if (!request->start(*session, url))
            return {};
        request->waitForHeaders();
        if (request->failedWithoutBody())
            return {};
        return request;
    } catch (...) {
        return {};
    }
}

std::size_t internetReadFile(InternetRequest* request, std::span<char> buffer)
{
    if (request == nullptr || buffer.empty())
        return 0;
    try {
        return request->read(buffer);
    } catch (...) {
        return 0;
    }
}

} // namespace check
