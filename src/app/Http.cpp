#include "app/Http.h"

#include "BuildSettings.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace http {
namespace {

// libcurl is loaded at run time rather than linked: it and the two dozen libraries it needs take
// a noticeable part of a start, which a load on a thread of its own keeps off the GUI thread.
// The library's entry points, looked up once it is loaded.
struct Library {
    decltype(&curl_global_init) global_init = nullptr;
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_perform) easy_perform = nullptr;
    decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
};

Library g_curl;

std::shared_future<void*>& Loading() {
    static std::shared_future<void*> loading;
    return loading;
}

// The library stays loaded until the process ends: requests may be under way until then.
void* LoadLibrary() { return ::dlopen("libcurl.so.4", RTLD_LAZY | RTLD_LOCAL); }

template <typename F> bool Resolve(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(::dlsym(library, name));
    return function != nullptr;
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

void Preload() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::packaged_task<void*()> task(LoadLibrary);
        Loading() = task.get_future().share();
        std::thread(std::move(task)).detach();
    });
}

bool Initialize() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        void* library = Loading().valid() ? Loading().get() : LoadLibrary();
        ready = library != nullptr && Resolve(library, "curl_global_init", g_curl.global_init) &&
                Resolve(library, "curl_easy_init", g_curl.easy_init) &&
                Resolve(library, "curl_easy_setopt", g_curl.easy_setopt) &&
                Resolve(library, "curl_easy_perform", g_curl.easy_perform) &&
                Resolve(library, "curl_easy_getinfo", g_curl.easy_getinfo) &&
                Resolve(library, "curl_easy_cleanup", g_curl.easy_cleanup) &&
                g_curl.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    });
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
    g_curl.easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
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

std::string ServiceUrl(Service service, const std::string& path) {
    const bool echo = service == Service::IpEcho;
    std::string host = echo ? build_settings::kIpEchoHost : build_settings::kUpdateHost;
    const char* variable = echo ? "CORVANE_IP_ECHO_HOST" : "CORVANE_UPDATE_HOST";
    if (const char* value = std::getenv(variable); value != nullptr && *value != '\0')
        host = value;
    if (host.empty())
        return std::string();
    return "http://" + host + path;
}

} // namespace http
