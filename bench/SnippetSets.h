#pragma once

#include <string>

class TestDatabase;

// Local stores and clouds of realistic snippets, as the tree and memory benchmarks use them.
namespace snippet_sets {

constexpr int kLanguages = 50;
constexpr int kOtherUsers = 900;
extern const char* const kLanguageNames[kLanguages];

std::string Title(long i);
// About 250 bytes of code, the body of snippet `i`.
std::string Body(long i, const char* language);

// A local store of `files` files spread evenly over the language directories, below `dir`.
void MakeLocalStore(const std::string& dir, long files);
// A copy of /usr/include as the local store below `dir`: hard links where the file system allows
// them (the walk reads only directories), copies otherwise.
void CopyUsrInclude(const std::string& dir);

// The cloud of one case: `own` snippets of the user (uid 1) among `total`, the rest spread over
// the other users, and own / 10 favourites. Languages are mixed in the order of insertion.
struct CloudSet {
    long own;
    long total;

    std::string Name() const {
        return "tree_" + std::to_string(own) + "_of_" + std::to_string(total) + "_v1";
    }
    void Seed(TestDatabase& db) const;
};

} // namespace snippet_sets
