#include "update/VersionCheck.h"

#include "app/Http.h"
#include "app/Platform.h"
#include "app/TextCodec.h"

#include <optional>

namespace update {
namespace {

// The length of the UTF-8 sequence that begins with `lead`; 0 when it cannot begin one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Where a sequence that the end of `bytes` cut short begins; bytes.size() when none was cut.
std::size_t IncompleteTail(std::string_view bytes) {
    const std::size_t size = bytes.size();
    // A sequence is at most four bytes long, so its lead is among the last three.
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(bytes[size - back]);
        if (IsContinuation(byte))
            continue;
        const std::size_t length = SequenceLength(byte);
        return length > back ? size - back : size;
    }
    return size;
}

} // namespace

std::string VersionUrl() {
    return http::ServiceUrl(http::Service::Update,
                            std::string("/app-ext/version.php?os=") + platform::Tag());
}

std::string ChangelogUrl() {
    return http::ServiceUrl(http::Service::Update, "/app-ext/changelog.txt");
}

std::string DownloadUrl() { return http::ServiceUrl(http::Service::Update, "/download.php"); }

bool DiffersFromThisVersion(std::string_view body) {
    return text::FromUtf8(body) != platform::VersionText();
}

bool AnotherVersionPublished(const std::atomic<bool>* cancel) {
    const std::optional<http::Reply> reply = http::Get(VersionUrl(), http::Limits{}, cancel);
    return reply && DiffersFromThisVersion(reply->body);
}

wxString FetchChangelog(const std::atomic<bool>* cancel) {
    http::Limits limits;
    limits.max_body_bytes = kChangelogBytes;
    const std::optional<http::Reply> reply = http::Get(ChangelogUrl(), limits, cancel);
    if (!reply)
        return wxString();
    return DecodeChangelog(reply->body, reply->cut);
}

wxString DecodeChangelog(std::string_view bytes, bool cut) {
    if (cut)
        bytes = bytes.substr(0, IncompleteTail(bytes));
    // The text field refuses a whole text that holds a NUL.
    return text::Displayable(text::FromUtf8(bytes));
}

} // namespace update
