#pragma once

#include <wx/string.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A directory tree read in one walk and kept as the bytes the system names its entries with
// (which need not be UTF-8): each directory's entries side by side, in the order the system gives
// them. Names become text only when they are shown or opened, so a large store costs little more
// than the walk itself.
class StoreListing {
public:
    using Index = std::uint32_t;
    // The directory the walk started from; its name is empty.
    static constexpr Index kTop = 0;

    // An empty listing: the top alone.
    StoreListing();
    // Read(directory) on an empty listing.
    explicit StoreListing(const wxString& directory);

    // Replaces the listing with a walk of `directory`, recursing into every entry that is not
    // known to be a plain file. A file, a pipe or a device, an empty or unreadable directory, and
    // a link back into a directory the walk is inside (a -> .) have no entries; a directory that
    // cannot be listed gives an empty listing. The memory of the last listing is used again.
    void Read(const wxString& directory);

    // Entries, the top included.
    size_t Size() const { return entries_.size(); }
    Index FirstChild(Index entry) const { return entries_[entry].first_child; }
    Index ChildCount(Index entry) const { return entries_[entry].child_count; }
    Index Parent(Index entry) const { return entries_[entry].parent; }
    // The entry's name as the system gives it.
    std::string_view Name(Index entry) const {
        return std::string_view(names_).substr(entries_[entry].name_offset,
                                               entries_[entry].name_length);
    }
    // The name as text that names the file losslessly (text::FromPathBytes).
    wxString FileName(Index entry) const;
    // The name as shown: invalid UTF-8 as U+FFFD.
    wxString Label(Index entry) const;

private:
    struct Entry {
        std::uint32_t name_offset;
        std::uint32_t name_length;
        Index first_child;
        Index child_count;
        Index parent;
        bool may_be_directory; // false only when the system says it is a plain file
    };
    struct DirectoryId {
        unsigned long long device;
        unsigned long long inode;
        bool operator==(const DirectoryId& other) const {
            return device == other.device && inode == other.inode;
        }
    };

    // Lists the directory at `path` (the system's bytes) as the entries of `directory`, then
    // each of them that may be a directory in turn. `inside` holds the directories being walked.
    void List(Index directory, std::string& path, std::vector<DirectoryId>& inside);

    std::vector<Entry> entries_;
    std::string names_;
};
