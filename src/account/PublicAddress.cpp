#include "account/PublicAddress.h"

#include "app/Http.h"
#include "app/TextCodec.h"

namespace account {

std::optional<wxString> PublicAddress(const std::atomic<bool>* cancel) {
    http::Limits limits;
    limits.max_body_bytes = 256;
    const std::optional<http::Reply> reply =
        http::Get(http::ServiceUrl(http::Service::IpEcho, "/ip.php"), limits, cancel);
    if (!reply)
        return std::nullopt;
    return AddressFromReply(reply->body, reply->cut);
}

std::optional<wxString> AddressFromReply(std::string_view body, bool cut) {
    if (cut)
        return std::nullopt;
    return text::FromUtf8(body);
}

} // namespace account
