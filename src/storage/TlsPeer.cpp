#include "storage/TlsPeer.h"

#include <mysql.h>
// The client library compares fingerprints only as SHA-1 (Connector/C 3.3), so the certificate is
// read from the connection's own TLS session, which its plug-in headers describe. They need the
// library's byte type and its TLS switch.
typedef unsigned char uchar;
#define HAVE_TLS
#include <ma_pvio.h>

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>

namespace tls_peer {
namespace {

struct CertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};

} // namespace

std::optional<std::string> CertificateSha256(st_mysql* mysql) {
    MARIADB_PVIO* pvio = mysql != nullptr ? mysql->net.pvio : nullptr;
    if (pvio == nullptr || pvio->ctls == nullptr || pvio->ctls->ssl == nullptr)
        return std::nullopt;
    const std::unique_ptr<X509, CertificateFree> certificate(
        SSL_get1_peer_certificate(static_cast<SSL*>(pvio->ctls->ssl)));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (!certificate || X509_digest(certificate.get(), EVP_sha256(), digest, &length) != 1)
        return std::nullopt;
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0F];
    }
    return hex;
}

} // namespace tls_peer
