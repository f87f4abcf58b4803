#pragma once

#include "browse/FindQuery.h"
#include "browse/FoundSnippet.h"

#include <wx/string.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The local store as the Find Snippet command searches it: every file that the snippet tree lists
// (walked the same way), with its title and language folded for matching and, once read, its
// content folded and kept while the file's size and modification time stay the same. Pipes,
// devices, sockets and files that cannot be read are left out. Used by one thread at a time.
class LocalIndex {
public:
    // Asked between files; true stops the work (a newer query has come).
    using Stop = std::function<bool()>;

    explicit LocalIndex(const wxString& root);

    // Brings the index up to the store: when a directory changed (a file came, went or was
    // renamed), the store is walked again; a file whose size or modification time changed has
    // its content read again when it is next needed.
    void Refresh();
    // Reads every content not kept yet, so the first search finds them in memory.
    void LoadAll(const Stop& stop = {});
    // The best `maximum` matches, best first, a content match with its first matching line.
    // Reads the contents it needs; nothing when `stop` ended the search.
    std::optional<std::vector<FoundSnippet>> Search(const FindQuery& query, size_t maximum,
                                                    const Stop& stop = {});

    size_t FileCount() const { return files_.size(); }
    // Bytes of the kept (folded) contents.
    size_t KeptBytes() const;

private:
    enum class State { Unread, Kept, Unreadable };
    struct File {
        std::string native; // the path as the file system takes it
        wxString title;
        size_t language = 0; // index into languages_
        std::wstring folded_title;
        long long size = -1;
        long long modified_ns = -1;
        State state = State::Unread;
        std::string content; // folded UTF-8, while Kept
    };
    struct Directory {
        std::string native;
        long long modified_ns; // -1 when it could not be read
    };

    void Walk();
    // True when every directory of the last walk is still as it was.
    bool DirectoriesUnchanged() const;
    // Takes each file's size and time again, dropping contents that changed.
    void StatFiles();
    // Reads and folds a file's content; false when it cannot be read.
    static bool Load(File& file);
    size_t LanguageIndex(const wxString& label);

    wxString root_;
    std::vector<File> files_;
    std::vector<Directory> directories_;
    std::vector<wxString> languages_;
    std::vector<std::wstring> folded_languages_;
};
