#include "app/HttpFetch.h"

#include <curl/curl.h>

#include <memory>

namespace http {
namespace {

struct EasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct Transfer {
    Reply reply;
    std::size_t max_body_bytes;
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

} // namespace

bool InitializeClient() { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }

std::optional<Reply> Fetch(const std::string& url, const Limits& limits,
                           const std::string& ca_file) {
    std::unique_ptr<CURL, EasyCleanup> handle(curl_easy_init());
    if (!handle || url.empty())
        return std::nullopt;

    Transfer transfer{Reply{}, limits.max_body_bytes};
    CURL* curl = handle.get();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // An https:// service is verified (certificate and host name) against the system's CAs, or
    // against the given CA file.
    if (!ca_file.empty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, ca_file.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connect_timeout_ms);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.total_timeout_ms);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);

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

} // namespace http
