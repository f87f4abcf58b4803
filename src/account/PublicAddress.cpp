#include "account/PublicAddress.h"

#include "app/Http.h"
#include "app/TextCodec.h"

namespace account {

std::optional<wxString> PublicAddress() {
    http::Limits limits;
    // An address is short; a longer body is a page of some other kind, not an address.
    limits.max_body_bytes = 256;
    const std::optional<http::Reply> reply =
        http::Get(http::ServiceUrl(http::Service::IpEcho, "/ip.php"), limits);
    if (!reply || reply->cut)
        return std::nullopt;
    return text::FromUtf8(reply->body);
}

} // namespace account
