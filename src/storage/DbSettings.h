#pragma once

#include <functional>
#include <optional>
#include <string>

// Whether the connection to the cloud is encrypted.
enum class DbTls { Off, Required };

// Where and how to reach the cloud database.
struct DbSettings {
    std::string host;
    unsigned port = 3306;
    std::string user = "corvane";
    std::string password;
    std::string database = "corvane";
    unsigned connect_timeout_seconds = 5;
    unsigned read_write_timeout_seconds = 30;

    // With TLS required, a server that offers no TLS, or whose certificate does not verify, is
    // refused before any statement is sent. The certificate must chain to `ca_file` (empty: to
    // one of the system's CAs) and name the host, unless only a `fingerprint` is given: then it
    // must be exactly the certificate with that SHA-256 (64 lower-case hex digits).
    DbTls tls = DbTls::Off;
    std::string ca_file;
    std::string fingerprint;

    // Reads an environment variable; nothing when it is unset.
    using Environment = std::function<std::optional<std::string>(const std::string& name)>;

    // The build's deployment settings; CORVANE_DB_HOST, CORVANE_DB_PORT, CORVANE_DB_PASSWORD,
    // CORVANE_DB_TLS, CORVANE_DB_CA and CORVANE_DB_FINGERPRINT override them for development and
    // tests.
    static DbSettings FromBuild();

    // Sets the TLS fields from the build, then from CORVANE_DB_TLS ("off" or "required"),
    // CORVANE_DB_CA (a file; empty for the system's CAs) and CORVANE_DB_FINGERPRINT (hex digits,
    // colons allowed; empty for none). False, with the reason in `error`, when a value is not
    // one; the fields then fail closed: an unknown TLS mode is "required", and a malformed
    // fingerprint is kept as given, so that no certificate matches it.
    bool TlsFromBuild(const Environment& environment, std::string& error);

    // The fingerprint as 64 lower-case hex digits, or nothing when `text` is not a SHA-256
    // fingerprint ("AB:CD:..." as openssl prints it, or the digits alone).
    static std::optional<std::string> NormalFingerprint(const std::string& text);
};
