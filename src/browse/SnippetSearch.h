#pragma once

#include "browse/FoundSnippet.h"
#include "storage/DbSettings.h"

#include <wx/string.h>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

struct SnippetSearchState;

// The search behind the Find Snippet window, off the window's thread: one thread searches the
// local store (LocalIndex), another the user's cloud snippets and favourites on the server,
// over a connection of its own (the program's connection belongs to the window's thread). Each
// drops its work when a newer query comes, and results of an older query are never delivered
// once a newer one has started.
class SnippetSearch {
public:
    static constexpr size_t kMaximum = 100;

    // What is found so far for one query: the local and cloud rows together, best first, at most
    // kMaximum.
    struct Results {
        unsigned long long generation = 0;
        std::vector<FoundSnippet> rows;
        bool local_pending = false;
        bool cloud_pending = false;
        // The cloud was asked but could not be searched; the rows are the local ones.
        bool cloud_failed = false;
        wxString cloud_error;

        bool Complete() const { return !local_pending && !cloud_pending; }
    };
    // Called on a search thread, for the newest query only, each time a part of it is done.
    using Deliver = std::function<void(Results)>;

    // Searches the store below `root` and, with `cloud` settings, the cloud.
    SnippetSearch(const wxString& root, std::optional<DbSettings> cloud, Deliver deliver);
    // Stops both threads; delivers nothing more once it has begun.
    ~SnippetSearch();
    SnippetSearch(const SnippetSearch&) = delete;
    SnippetSearch& operator=(const SnippetSearch&) = delete;

    // Starts a search, replacing any older one, and returns its generation. The cloud is
    // searched only with a user id; an empty query delivers no rows at once.
    unsigned long long Search(const wxString& query, const wxString& uid);
    // Walks the store and reads its contents ahead of the first search.
    void Prepare();

private:
    // Shared with the threads, which may outlive this object by the statement they are in.
    std::shared_ptr<SnippetSearchState> state_;
    std::thread local_thread_;
    std::thread cloud_thread_;
};
