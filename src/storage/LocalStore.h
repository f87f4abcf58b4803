#pragma once

#include <wx/string.h>

#include <functional>
#include <optional>
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

// One directory entry. `name` maps the entry's bytes losslessly (text::FromPathBytes) and so
// names the file; `label` is the same name for display, invalid UTF-8 shown as U+FFFD.
struct Entry {
    wxString name;
    wxString label;
    bool may_be_directory; // false only when the system says it is a plain file
};

// The entries of a directory other than "." and "..", in the order the operating system gives
// them; nothing when the directory cannot be opened (missing, or not a directory).
std::optional<std::vector<Entry>> ListDirectory(const wxString& directory);

// Lists a directory recursively. `visit(parent, entry)` is called for each entry and returns the
// handle under which that entry's own entries are reported; a file, or an empty or unreadable
// directory, simply reports none.
template <typename Handle, typename Visit>
void Walk(const wxString& directory, const Handle& parent, Visit&& visit) {
    const std::optional<std::vector<Entry>> entries = ListDirectory(directory);
    if (!entries)
        return;
    const wxString base = WithSeparator(directory);
    for (const Entry& entry : *entries) {
        const Handle child = visit(parent, entry);
        if (entry.may_be_directory)
            Walk(base + entry.name, child, visit);
    }
}

// Whole-file reads and writes of a snippet's text, as UTF-8. Reading returns nothing when the
// file cannot be read; invalid UTF-8 reads as U+FFFD. Writing goes to a temporary file that
// replaces the target only once complete, so a failed save never destroys the previous text;
// it returns false with the reason in `error`.
std::optional<wxString> ReadText(const wxString& path);
bool WriteText(const wxString& path, const wxString& text, wxString* error);

} // namespace local_store
