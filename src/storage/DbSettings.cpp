#include "storage/DbSettings.h"

#include "BuildSettings.h"

#include <cctype>
#include <cstdlib>
#include <iterator>

namespace {

// The password is kept in the binary as masked character codes, never as one text: each position
// of the code range becomes one character. The mask has its high bit set, so no masked code of a
// printable character is printable itself. The codes are read through a volatile view so that
// the compiler cannot unmask them at build time and leave the plain password in the program.
unsigned char PasswordMask(std::size_t position) {
    return static_cast<unsigned char>(0x80 | ((position * 73 + 41) & 0x7F));
}

std::string PasswordCharacter(std::size_t position) {
    const volatile unsigned char* codes = build_settings::kDbPasswordCodes;
    return std::string(1, static_cast<char>(codes[position] ^ PasswordMask(position)));
}

std::string BuildPassword() {
    // The last code only ends the list.
    constexpr std::size_t length = std::size(build_settings::kDbPasswordCodes) - 1;
    std::string password;
    for (std::size_t position = 0; position < length; ++position)
        password += PasswordCharacter(position);
    return password;
}

// A TCP port number, or 0 when the text is not one.
unsigned ParsePort(const char* value) {
    char* end = nullptr;
    const unsigned long port = std::strtoul(value, &end, 10);
    if (end == value || *end != '\0' || port == 0 || port > 65535)
        return 0;
    return static_cast<unsigned>(port);
}

} // namespace

std::optional<std::string> DbSettings::NormalFingerprint(const std::string& text) {
    std::string digits;
    for (const char c : text) {
        if (c == ':')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        digits += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (digits.size() != 64)
        return std::nullopt;
    return digits;
}

bool DbSettings::TlsFromBuild(const Environment& environment, std::string& error) {
    tls = std::string(build_settings::kDbTls) == "required" ? DbTls::Required : DbTls::Off;
    ca_file = build_settings::kDbCa;
    fingerprint = build_settings::kDbFingerprint;
    bool ok = true;
    if (const auto mode = environment("CORVANE_DB_TLS"); mode && !mode->empty()) {
        tls = *mode == "off" ? DbTls::Off : DbTls::Required;
        if (*mode != "off" && *mode != "required") {
            error = "CORVANE_DB_TLS is neither off nor required: " + *mode;
            ok = false;
        }
    }
    if (const auto ca = environment("CORVANE_DB_CA"))
        ca_file = *ca;
    if (const auto given = environment("CORVANE_DB_FINGERPRINT")) {
        const std::optional<std::string> normal = NormalFingerprint(*given);
        fingerprint = given->empty() ? std::string() : normal.value_or(*given);
        if (!given->empty() && !normal) {
            error = "CORVANE_DB_FINGERPRINT is not a SHA-256 fingerprint: " + *given;
            ok = false;
        }
    }
    return ok;
}

DbSettings DbSettings::FromBuild() {
    DbSettings settings;
    settings.host = build_settings::kDbHost;
    settings.port = build_settings::kDbPort;
    settings.password = BuildPassword();

    if (const char* host = std::getenv("CORVANE_DB_HOST"); host != nullptr && *host != '\0')
        settings.host = host;
    // A malformed port is ignored rather than turned into some other port.
    if (const char* port = std::getenv("CORVANE_DB_PORT"); port != nullptr && ParsePort(port) != 0)
        settings.port = ParsePort(port);
    // An empty password is a valid override, so only an unset variable keeps the build's.
    if (const char* password = std::getenv("CORVANE_DB_PASSWORD"); password != nullptr)
        settings.password = password;
    // The program has no one to tell about a malformed value; the fields fail closed.
    std::string ignored;
    settings.TlsFromBuild(
        [](const std::string& name) -> std::optional<std::string> {
            const char* value = std::getenv(name.c_str());
            return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
        },
        ignored);
    return settings;
}
