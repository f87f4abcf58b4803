#pragma once

#include <wx/string.h>

#include <atomic>
#include <optional>
#include <string_view>

namespace account {

// This machine's public address as the IP echo service sees it: the whole body of its /ip.php
// reply, decoded from UTF-8. Nothing when the service cannot be reached in time or does not
// answer with HTTP 200; the wait is bounded by the HTTP timeouts, and ends, with nothing, once
// `cancel` is set.
std::optional<wxString> PublicAddress(const std::atomic<bool>* cancel = nullptr);

// The address in an IP echo reply's body: all of it, decoded from UTF-8. Nothing when the body was
// `cut` at the limit: an address is short, a longer body is a page of some other kind.
std::optional<wxString> AddressFromReply(std::string_view body, bool cut);

} // namespace account
