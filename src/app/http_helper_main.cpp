// corvane-http: makes one HTTP or HTTPS GET for the program and ends. Its arguments, output and
// exit statuses are in HttpFetch.h.
#include "app/HttpFetch.h"

#include <curl/curl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

bool Number(const char* text, long* value) {
    char* end = nullptr;
    errno = 0;
    *value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && *value >= 0;
}

bool WriteAll(const std::string& bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t wrote =
            ::write(STDOUT_FILENO, bytes.data() + written, bytes.size() - written);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        written += static_cast<size_t>(wrote);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    http::Limits limits;
    long max_body = 0;
    if ((argc != 5 && argc != 6) || !Number(argv[2], &limits.connect_timeout_ms) ||
        !Number(argv[3], &limits.total_timeout_ms) || !Number(argv[4], &max_body))
        return http::helper_exit::kUsage;
    limits.max_body_bytes = static_cast<std::size_t>(max_body);
    if (!http::InitializeClient())
        return http::helper_exit::kNoAnswer;
    const std::optional<http::Reply> reply = http::Fetch(argv[1], limits, argc == 6 ? argv[5] : "");
    int status = http::helper_exit::kNoAnswer;
    if (reply && WriteAll(reply->body))
        status = reply->cut ? http::helper_exit::kCut : http::helper_exit::kWhole;
    curl_global_cleanup();
    return status;
}
