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

    // Walks the store again: new files join, removed ones leave, and a file whose size or
    // modification time changed has its content read again when it is next needed.
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
        wxString path;
        wxString title;
        size_t language = 0; // index into languages_
        std::wstring folded_title;
        long long size = 0;
        long long modified_ns = 0;
        State state = State::Unread;
        std::string content; // folded UTF-8, while Kept
    };

    // Reads and folds a file's content; false when it cannot be read.
    static bool Load(File& file);
    size_t LanguageIndex(const wxString& label);

    wxString root_;
    std::vector<File> files_;
    std::vector<wxString> languages_;
    std::vector<std::wstring> folded_languages_;
};
