#include "app/Http.h"

#include "BuildSettings.h"
#include "app/Platform.h"

#include <curl/curl.h>
#include <wx/dynlib.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <type_traits>

namespace http {
namespace {

// The functions of the HTTP client library. It is loaded when the first request is prepared, not
// with the program: with the libraries it brings along it takes milliseconds to load, and the
// start-up's first request is made off the GUI thread.
struct Curl {
    CURLcode (*global_init)(long flags) = nullptr;
    CURL* (*easy_init)() = nullptr;
    CURLcode (*easy_setopt)(CURL* handle, CURLoption option, ...) = nullptr;
    CURLcode (*easy_perform)(CURL* handle) = nullptr;
    CURLcode (*easy_getinfo)(CURL* handle, CURLINFO info, ...) = nullptr;
    void (*easy_cleanup)(CURL* handle) = nullptr;
};

Curl g_curl;

// Loads the library and finds every function; false when either fails.
bool LoadCurl() {
    wxDynamicLibrary library;
    if (!library.Load(platform::HttpLibraryName(), wxDL_NOW | wxDL_QUIET))
        return false;
    bool found = true;
    const auto find = [&](auto& function, const char* name) {
        bool ok = false;
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
            library.GetSymbol(name, &ok));
        found = found && ok;
    };
    find(g_curl.global_init, "curl_global_init");
    find(g_curl.easy_init, "curl_easy_init");
    find(g_curl.easy_setopt, "curl_easy_setopt");
    find(g_curl.easy_perform, "curl_easy_perform");
    find(g_curl.easy_getinfo, "curl_easy_getinfo");
    find(g_curl.easy_cleanup, "curl_easy_cleanup");
    // Never unloaded: a request may still be under way on another thread while the program ends.
    if (found)
        library.Detach();
    return found;
}

struct EasyCleanup {
    void operator()(CURL* handle) const { g_curl.easy_cleanup(handle); }
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
    std::call_once(
        once, [] { ready = LoadCurl() && g_curl.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

std::optional<Reply> Get(const std::string& url, const Limits& limits,
                         const std::atomic<bool>* cancel) {
    if (!Initialize() || url.empty())
        return std::nullopt;
    std::unique_ptr<CURL, EasyCleanup> handle(g_curl.easy_init());
    if (!handle)
        return std::nullopt;

    Transfer transfer{Reply{}, limits.max_body_bytes, cancel};
    CURL* curl = handle.get();
    g_curl.easy_setopt(curl, CURLOPT_URL, url.c_str());
    g_curl.easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // An https:// service is verified (certificate and host name) against the system's CAs, or
    // against the CA file of the build or of CORVANE_HTTP_CA.
    const std::string ca = CaFile();
    if (!ca.empty())
        g_curl.easy_setopt(curl, CURLOPT_CAINFO, ca.c_str());
    // Timeouts by signal would disturb the toolkit and cannot be used off the main thread.
    g_curl.easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    g_curl.easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connect_timeout_ms);
    g_curl.easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.total_timeout_ms);
    g_curl.easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    g_curl.easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    g_curl.easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    g_curl.easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    g_curl.easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);

    const CURLcode result = g_curl.easy_perform(curl);
    // A body cut at the limit ends the transfer with a write error; what was read is the answer.
    if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && transfer.reply.cut))
        return std::nullopt;
    long status = 0;
    g_curl.easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
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
