// In-process HTTP/1.1 server on 127.0.0.1 for tests and benchmarks.
//
// Every response closes its connection, so each request costs one accept and
// one short-lived thread; that keeps the server simple and the tests
// deterministic about what went over which connection.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace testsupport {

inline constexpr std::string_view kPageBody = "<html><body>It works</body></html>\n";
inline constexpr std::string_view kErrorBody = "<html><body>Internal trouble</body></html>\n";
inline constexpr std::string_view kProxyErrorBody = "<html><body>502 Unable to connect</body></html>\n";
inline constexpr const char* kProxyRefusedStatus = "Proxy-Status: loopback.test; error=connection_refused";

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
//   /silent     reads the request, never answers, holds the connection
//   /held       holds the connection until release(), then answers as /page
//   /endless    200 without Content-Length, body never ends
//   otherwise   404
//
// A forwarding proxy as well: a request for "http://127.0.0.1:N/..." or "http://localhost:N/..."
// with N not this server's port is passed on to 127.0.0.1:N in origin form and the answer relayed
// back; when nothing listens there, the answer is a 502 with kProxyErrorBody and the
// kProxyRefusedStatus header. lastRequestHead() shows the request as the proxy received it.
class LoopbackServer {
public:
    // Binds 127.0.0.1 on a port the system picks and starts serving.
    // Throws std::system_error if the socket cannot be set up.
    LoopbackServer();
    // Closes the listener and every open connection and joins every thread;
    // prompt even while /silent or /endless connections are open.
    ~LoopbackServer();

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port() const;
    // "http://127.0.0.1:<port>" + path
    std::string url(std::string_view path) const;
    // Requests whose head (request line and headers) was fully received.
    std::size_t requestCount() const;
    // Raw head of the latest request, including the terminating blank line.
    std::string lastRequestHead() const;

    // Lets every /held request, waiting or still to come, have its answer.
    void release();

    // A 127.0.0.1 port with no listener, for "connection refused" cases.
    // Another process could grab it afterwards, but that is unlikely within a test.
    static std::uint16_t unusedPort();

private:
    struct Connection;

    void acceptLoop();
    void serve(Connection& conn);
    void reapFinished();
    void recordHead(std::string head);

    int listenFd_ = -1;
    int wakeFd_ = -1;  // eventfd; written once to stop the accept loop
    int releaseFd_ = -1;  // eventfd; written once to answer /held
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};

    // Only the accept thread touches this until it has been joined; after
    // that only the destructor does, so it needs no lock.
    std::vector<std::unique_ptr<Connection>> connections_;
    std::thread acceptThread_;

    mutable std::mutex statsMutex_;
    std::size_t requestCount_ = 0;
    std::string lastHead_;
};

}  // namespace testsupport
