#pragma once

#include <wx/string.h>

#include <optional>

namespace account {

// This machine's public address as the IP echo service sees it: the whole body of its /ip.php
// reply, decoded from UTF-8. Nothing when the service cannot be reached in time or does not
// answer with HTTP 200; the wait is bounded by the HTTP timeouts.
std::optional<wxString> PublicAddress();

} // namespace account
