#include "app/Http.h"

#include "BuildSettings.h"
#include "app/HelperProcess.h"
#include "app/HttpFetch.h"
#include "app/Platform.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace http {
namespace {

// The helper's own start and end, on top of the request's time.
constexpr long kHelperMarginMs = 2000;

} // namespace

std::optional<Reply> Get(const std::string& url, const Limits& limits,
                         const std::atomic<bool>* cancel) {
    // The request runs in the helper program: the client library and the dozens of libraries it
    // brings along (TLS, Kerberos, LDAP, ...) stay out of this long-lived process.
    const std::string helper = platform::HttpHelperPath();
    if (url.empty() || helper.empty())
        return std::nullopt;
    std::vector<std::string> args = {url, std::to_string(limits.connect_timeout_ms),
                                     std::to_string(limits.total_timeout_ms),
                                     std::to_string(limits.max_body_bytes)};
    const std::string ca = CaFile();
    if (!ca.empty())
        args.push_back(ca);
    HelperProcess::Outcome outcome = HelperProcess::Run(
        helper, args, std::chrono::milliseconds(limits.total_timeout_ms + kHelperMarginMs),
        limits.max_body_bytes, cancel);
    if (outcome.end != HelperProcess::End::Exited ||
        (outcome.exit_code != helper_exit::kWhole && outcome.exit_code != helper_exit::kCut))
        return std::nullopt;
    return Reply{std::move(outcome.output), outcome.exit_code == helper_exit::kCut};
}

std::string CaFile() {
    const char* value = std::getenv("CORVANE_HTTP_CA");
    return value != nullptr ? value : build_settings::kHttpCa;
}

std::string ServiceUrl(Service service, const std::string& path) {
    const bool echo = service == Service::IpEcho;
    std::string host = echo ? build_settings::kIpEchoHost : build_settings::kUpdateHost;
    const char* variable = echo ? "CORVANE_IP_ECHO_HOST" : "CORVANE_UPDATE_HOST";
    if (const char* value = std::getenv(variable); value != nullptr && *value != '\0')
        host = value;
    if (host.empty())
        return std::string();
    if (host.rfind("https://", 0) == 0 || host.rfind("http://", 0) == 0)
        return host + path;
    return "http://" + host + path;
}

} // namespace http
