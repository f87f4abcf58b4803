#pragma once

#include "app/Http.h"

#include <optional>
#include <string>

// The HTTP client itself (libcurl), which only the HTTP helper program links: the program asks
// the helper (http::Get), so that it never loads the client and the libraries it brings along.
namespace http {

// The helper program (corvane-http URL CONNECT_MS TOTAL_MS MAX_BODY_BYTES [CA_FILE]) writes the
// body to its standard output and ends with one of these.
namespace helper_exit {
inline constexpr int kWhole = 0;    // an answer, read whole
inline constexpr int kNoAnswer = 1; // no answer
inline constexpr int kUsage = 2;    // wrong arguments
inline constexpr int kCut = 3;      // an answer cut at MAX_BODY_BYTES
} // namespace helper_exit

// Makes the client ready; call once, before any Fetch. False when it cannot be set up.
bool InitializeClient();

// One GET, as http::Get describes it. An https:// reply is verified against `ca_file`, or the
// system's CAs when it is empty.
std::optional<Reply> Fetch(const std::string& url, const Limits& limits,
                           const std::string& ca_file);

} // namespace http
