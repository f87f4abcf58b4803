#pragma once

#include <wx/string.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The local snippet store: plain files below ./snippets/, the first directory level naming the
// language, the file name the title, the file holding the text and nothing else.
namespace local_store {

inline constexpr const char* kRoot = "./snippets/";
inline constexpr const char* kDownloads = "./snippets/downloads/";

// The path with a "/" appended unless it already ends with "/" or a backslash.
wxString WithSeparator(const wxString& path);

// The directory a language's snippets are saved in: "./snippets/" + language, with a separator.
wxString LanguageDirectory(const wxString& language);

// Turns the names on a tree path (from the first level below the hidden root, so starting with
// "Local") back into the file's path: {"Local", "Ruby", "hello"} gives "./snippets/Ruby/hello".
wxString PathFromNames(const std::vector<wxString>& names);
// The language of such a path: the first level below "Local" (for a file at the store's root,
// its own name).
wxString LanguageFromNames(const std::vector<wxString>& names);
// The language a file of the store is written in: the name of its language directory, the first
// level below the store (below its downloads directory for a downloaded file). Empty for a file
// directly in the store or outside it. Relative and absolute paths are both understood.
wxString LanguageOfPath(const wxString& path);

// How a file's bytes became text: as UTF-8 when they are valid UTF-8, else one byte per character,
// which turns every byte into a character and back unchanged. Saving in the same encoding leaves
// every byte the user did not edit as it was.
enum class Encoding { Utf8, Latin1 };

// What a file held when the program last read or wrote it: enough to tell later whether somebody
// else changed it meanwhile (a mere touch, same bytes, is no change).
struct FileStamp {
    unsigned long long size = 0;
    long long modified_ns = 0;
    unsigned long long fingerprint = 0; // Fingerprint of the bytes
};

// A fast 64-bit fingerprint of bytes: equal bytes give equal values, and a change (a cut, a
// flipped bit) almost surely changes it. No protection against deliberate collisions.
unsigned long long Fingerprint(std::string_view bytes);

struct FileText {
    wxString text;
    Encoding encoding = Encoding::Utf8;
    FileStamp stamp;
};

// True when the path exists but is neither a regular file nor a directory (links followed): a
// pipe, a device or a socket, which would block or misbehave when opened as a snippet.
bool IsSpecialFile(const wxString& path);

// The text in that encoding; nothing when it holds a character the encoding cannot carry.
std::optional<std::string> Encode(const wxString& text, Encoding encoding);

// Whole-file reads and writes of a snippet's text. Reading returns nothing when the file cannot be
// read or is not a regular file (a pipe or device is never waited on). Writing goes to a temporary
// file that replaces the target only once complete, so a failed save never destroys the previous
// text; it returns false with the reason in `error`.
std::optional<FileText> ReadFile(const wxString& path);
// The file's bytes as they are, under the same rules.
std::optional<std::string> ReadBytes(const wxString& path);
std::optional<wxString> ReadText(const wxString& path);
bool WriteText(const wxString& path, const wxString& text, Encoding encoding, wxString* error);
bool WriteText(const wxString& path, const wxString& text, wxString* error);
// The same safe write for bytes: a temporary file beside the target, flushed to the disk, renamed
// over the target, and the directory flushed, so that a power cut leaves the old or the new file.
bool WriteBytes(const wxString& path, std::string_view bytes, wxString* error);

// The stamp of a file just written with these bytes; nothing when it cannot be looked at.
std::optional<FileStamp> StampWritten(const wxString& path, std::string_view bytes);
// Whether the file still holds what `stamp` describes. A file that is gone counts as unchanged:
// writing it again overwrites nobody's text.
bool ChangedSince(const wxString& path, const FileStamp& stamp);

} // namespace local_store
