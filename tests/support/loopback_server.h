// In-process HTTP/1.1 server on 127.0.0.1 for tests and benchmarks.
//
// Every response closes its connection, so the tests stay deterministic about what went over
// which connection and no idle keep-alive connection ties up a worker.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace testsupport {

inline constexpr std::string_view kPageBody = "<html><body>It works</body></html>\n";
inline constexpr std::string_view kErrorBody = "<html><body>Internal trouble</body></html>\n";
inline constexpr std::string_view kProxyErrorBody = "<html><body>502 Unable to connect</body></html>\n";

// Routes (query strings are ignored; an absolute-form target is served by its path, so the
// server also stands in for an http or ftp proxy that answers everything itself):
//   /page       200 text/html, kPageBody
//   /bytes/N    200, N bytes of 'a'..'z' repeating, streamed in chunks
//   /empty      200, Content-Length: 0
//   /nocontent  204
//   /error      500, kErrorBody
//   /redirect   302 -> /page
//   /loop       302 -> /loop
//   /to-file    302 -> file:///etc/hostname
//   /squid-error     404 with X-Squid-Error, as a proxy's page for a missing ftp file
//   /squid-redirect  302 with X-Squid-Error -> /page
//   /forwarded-error 500, kErrorBody, with a Proxy-Status that names no error
//   /silent     never answered: held until the server stops
//   /held       held until release(), then answers as /page
//   /endless    200, chunked, body never ends
//   otherwise   404
//
// A forwarding proxy as well: a request for "http://127.0.0.1:N/..." or "http://localhost:N/..."
// with N not this server's port is passed on to 127.0.0.1:N and the answer relayed back; when
// nothing listens there, the answer is a 502 with kProxyErrorBody and a Proxy-Status naming
// connection_refused. lastRequestHead() shows the request as the proxy received it.
class LoopbackServer {
public:
    // Binds 127.0.0.1 on a port the system picks and starts serving.
    // Throws std::system_error if the socket cannot be set up.
    LoopbackServer();
    // Ends every held request, then stops; prompt even while /silent, /held or /endless are open.
    ~LoopbackServer();

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port() const;
    // "http://127.0.0.1:<port>" + path
    std::string url(std::string_view path) const;
    // Requests whose head was fully received.
    std::size_t requestCount() const;
    // The latest request's head: request line, headers, blank line.
    std::string lastRequestHead() const;

    // Lets every /held request, waiting or still to come, have its answer.
    void release();

    // A 127.0.0.1 port with no listener, for "connection refused" cases.
    // Another process could grab it afterwards, but that is unlikely within a test.
    static std::uint16_t unusedPort();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace testsupport
