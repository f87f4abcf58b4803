#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

// HTTP and HTTPS GET requests to the program's two small services: the IP echo service and the
// update service. Every request is bounded in time, whatever the server does (refuses, hangs,
// accepts and never answers, drips one byte a second).
namespace http {

struct Limits {
    long connect_timeout_ms = 2000;
    long total_timeout_ms = 3000;
    // Bytes of the body that are read at most; the rest is not fetched.
    std::size_t max_body_bytes = 64 * 1024;
};

struct Reply {
    std::string body; // the body's first bytes, at most Limits::max_body_bytes
    bool cut = false; // the body went on beyond the limit
};

// One GET. Only an HTTP 200 reply counts as an answer: a refused or failed connection, a timeout,
// and a reply with any other status give nothing. Setting `cancel` (from any thread) ends the
// request early, with nothing. The request is made by a helper program (platform::HttpHelperPath)
// in a process of its own; without the helper, every request gives nothing.
std::optional<Reply> Get(const std::string& url, const Limits& limits = {},
                         const std::atomic<bool>* cancel = nullptr);

enum class Service { IpEcho, Update };

// "http://" + the service's host + `path` (which starts with "/"); empty when no host is set.
// The hosts are build settings; the environment variables CORVANE_IP_ECHO_HOST and
// CORVANE_UPDATE_HOST override them. A host may carry a port and a path prefix
// ("127.0.0.1:8080/mirror"), and may begin with "https://" (or "http://"), which is kept.
std::string ServiceUrl(Service service, const std::string& path);

// The CA file that https:// replies are verified against: CORVANE_HTTP_CA when set (empty for the
// system's CAs), else the build's; empty means the system's CAs.
std::string CaFile();

} // namespace http
