#include "app/Http.h"

#include "BuildSettings.h"

#include <curl/curl.h>

#include <cstdlib>
#include <memory>
#include <mutex>

namespace http {
namespace {

struct EasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct Transfer {
    Reply reply;
    std::size_t max_body_bytes;
    const std::atomic<bool>* cancel;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    const size_t room = transfer->max_body_bytes - transfer->reply.body.size();
    if (bytes > room) {
        transfer->reply.body.append(data, room);
        transfer->reply.cut = true;
        return 0; // ends the transfer: the rest is not wanted
    }
    transfer->reply.body.append(data, bytes);
    return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* transfer = static_cast<const Transfer*>(user);
    return transfer->cancel != nullptr && transfer->cancel->load() ? 1 : 0;
}

} // namespace

bool Initialize() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

std::optional<Reply> Get(const std::string& url, const Limits& limits,
                         const std::atomic<bool>* cancel) {
    if (!Initialize() || url.empty())
        return std::nullopt;
    std::unique_ptr<CURL, EasyCleanup> handle(curl_easy_init());
    if (!handle)
        return std::nullopt;

    Transfer transfer{Reply{}, limits.max_body_bytes, cancel};
    CURL* curl = handle.get();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // An https:// service is verified (certificate and host name) against the system's CAs, or
    // against the CA file of the build or of CORVANE_HTTP_CA.
    const std::string ca = CaFile();
    if (!ca.empty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, ca.c_str());
    // Timeouts by signal would disturb the toolkit and cannot be used off the main thread.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connect_timeout_ms);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.total_timeout_ms);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);

    const CURLcode result = curl_easy_perform(curl);
    // A body cut at the limit ends the transfer with a write error; what was read is the answer.
    if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && transfer.reply.cut))
        return std::nullopt;
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200)
        return std::nullopt;
    return std::move(transfer.reply);
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
