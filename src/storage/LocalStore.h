#pragma once

#include <wx/string.h>

#include <optional>
#include <string>
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

// How a file's bytes became text: as UTF-8 when they are valid UTF-8, else one byte per character,
// which turns every byte into a character and back unchanged. Saving in the same encoding leaves
// every byte the user did not edit as it was.
enum class Encoding { Utf8, Latin1 };

struct FileText {
    wxString text;
    Encoding encoding = Encoding::Utf8;
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
std::optional<wxString> ReadText(const wxString& path);
bool WriteText(const wxString& path, const wxString& text, Encoding encoding, wxString* error);
bool WriteText(const wxString& path, const wxString& text, wxString* error);

} // namespace local_store
