#pragma once

#include <optional>
#include <string>

struct st_mysql;

namespace tls_peer {

// The SHA-256 fingerprint, as 64 lower-case hex digits, of the certificate that the server of
// this connection showed in its TLS handshake; nothing when the connection is not encrypted or
// the certificate cannot be read.
std::optional<std::string> CertificateSha256(st_mysql* mysql);

} // namespace tls_peer
