#pragma once

#include <wx/string.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

// Asking the update service whether another version than this one has been published, and
// reading its changelog.
namespace update {

// The changelog shows at most this many bytes of the service's text.
constexpr std::size_t kChangelogBytes = 1000;

// The addresses of the service's current-version query, changelog and download page; empty when
// no update host is set.
std::string VersionUrl();
std::string ChangelogUrl();
std::string DownloadUrl();

// True when the service answers HTTP 200 with a body that is not exactly this program's version
// text (a trailing line break is a difference). A failed, refused, timed-out or non-200 request
// announces nothing. Setting `cancel` ends the request early, announcing nothing.
bool AnotherVersionPublished(const std::atomic<bool>* cancel = nullptr);

// True when a 200 body differs from the version text.
bool DiffersFromThisVersion(std::string_view body);

// The first kChangelogBytes bytes of the changelog, decoded; empty when it cannot be fetched.
wxString FetchChangelog(const std::atomic<bool>* cancel = nullptr);

// Changelog bytes as text. When the body was `cut` at the limit, a character whose bytes the cut
// split is left out; other invalid bytes and NULs show as U+FFFD, so they never empty the text.
wxString DecodeChangelog(std::string_view bytes, bool cut);

} // namespace update
