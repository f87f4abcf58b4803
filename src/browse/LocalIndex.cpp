#include "browse/LocalIndex.h"

#include "app/Platform.h"
#include "app/TextCodec.h"
#include "storage/LocalStore.h"
#include "storage/StoreListing.h"

#include <sys/stat.h>

#include <optional>
#include <unordered_map>
#include <utility>

LocalIndex::LocalIndex(const wxString& root) : root_(root) {}

size_t LocalIndex::LanguageIndex(const wxString& label) {
    for (size_t i = 0; i < languages_.size(); ++i) {
        if (languages_[i] == label)
            return i;
    }
    languages_.push_back(label);
    folded_languages_.push_back(FoldCase(label));
    return languages_.size() - 1;
}

namespace {

// The size and modification time of what a path names (links followed), or nothing.
std::optional<struct stat> Status(const std::string& native) {
    struct stat status;
    if (native.empty() || ::stat(native.c_str(), &status) != 0)
        return std::nullopt;
    return status;
}

long long ModifiedNs(const struct stat& status) {
    return static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec;
}

} // namespace

void LocalIndex::Refresh() {
    // A directory's time changes with every file made, removed or renamed in it, so while no
    // directory changed, the files are the same ones and only their own times need a look.
    if (!directories_.empty() && DirectoriesUnchanged())
        StatFiles();
    else
        Walk();
}

bool LocalIndex::DirectoriesUnchanged() const {
    for (const Directory& directory : directories_) {
        const std::optional<struct stat> status = Status(directory.native);
        const long long modified = status && S_ISDIR(status->st_mode) ? ModifiedNs(*status) : -1;
        if (modified != directory.modified_ns)
            return false;
    }
    return true;
}

void LocalIndex::StatFiles() {
    for (File& file : files_) {
        const std::optional<struct stat> status = Status(file.native);
        // A link's target may have gone or changed without its directory changing.
        const bool regular = status && S_ISREG(status->st_mode);
        const long long size = regular ? static_cast<long long>(status->st_size) : -1;
        const long long modified = regular ? ModifiedNs(*status) : -1;
        if (size == file.size && modified == file.modified_ns)
            continue;
        file.size = size;
        file.modified_ns = modified;
        file.state = regular ? State::Unread : State::Unreadable;
        std::string().swap(file.content);
    }
}

void LocalIndex::Walk() {
    std::unordered_map<std::string, size_t> known;
    known.reserve(files_.size());
    for (size_t i = 0; i < files_.size(); ++i)
        known.emplace(files_[i].native, i);
    languages_.clear();
    folded_languages_.clear();
    directories_.clear();
    const std::string root = platform::FileSystemPath(root_);
    const std::optional<struct stat> root_status = Status(root);
    directories_.push_back(
        {root, root_status && S_ISDIR(root_status->st_mode) ? ModifiedNs(*root_status) : -1});

    // As the tree lists the store: the first level names the language; a file right in the
    // store's root is its own language.
    struct Place {
        wxString path;
        std::optional<size_t> language;
    };
    std::vector<File> walked;
    walked.reserve(files_.size());
    const auto visit = [&](const Place& parent, const wxString& name, const wxString& label) {
        Place here{local_store::WithSeparator(parent.path) + name, parent.language};
        if (!here.language)
            here.language = LanguageIndex(label);
        std::string native = platform::FileSystemPath(here.path);
        const std::optional<struct stat> status = Status(native);
        if (status && S_ISDIR(status->st_mode))
            directories_.push_back({std::move(native), ModifiedNs(*status)});
        // Pipes, devices, sockets and broken links are no snippets; directories are walked on.
        if (!status || !S_ISREG(status->st_mode))
            return here;
        File& file = walked.emplace_back();
        file.size = static_cast<long long>(status->st_size);
        file.modified_ns = ModifiedNs(*status);
        file.language = *here.language;
        const auto before = known.find(native);
        if (before != known.end()) {
            // Swapped, not copied: the old entry is dropped below.
            File& old = files_[before->second];
            file.title.swap(old.title);
            file.folded_title.swap(old.folded_title);
            if (old.size == file.size && old.modified_ns == file.modified_ns) {
                file.state = old.state;
                file.content.swap(old.content);
            }
        } else {
            file.title = label;
            file.folded_title = FoldCase(label);
        }
        file.native = std::move(native);
        return here;
    };
    // Depth first, each directory's entries in the order the system lists them.
    const StoreListing listing(root_);
    std::vector<std::pair<StoreListing::Index, Place>> pending;
    const auto push_children = [&](StoreListing::Index directory, const Place& place) {
        const StoreListing::Index first = listing.FirstChild(directory);
        for (StoreListing::Index i = listing.ChildCount(directory); i > 0; --i)
            pending.emplace_back(first + i - 1, place);
    };
    push_children(StoreListing::kTop, Place{root_, std::nullopt});
    while (!pending.empty()) {
        const auto [entry, parent] = pending.back();
        pending.pop_back();
        push_children(entry, visit(parent, listing.FileName(entry), listing.Label(entry)));
    }
    files_.swap(walked);
}

bool LocalIndex::Load(File& file) {
    const std::optional<std::string> bytes = local_store::ReadBytes(text::FromPathBytes(file.native));
    if (!bytes) {
        file.state = State::Unreadable;
        return false;
    }
    // Decoded as the store decodes files: UTF-8 when valid, else one byte per character.
    file.content = text::IsValidUtf8(*bytes) ? FoldUtf8(*bytes) : FoldLatin1(*bytes);
    file.content.shrink_to_fit();
    file.state = State::Kept;
    return true;
}

void LocalIndex::LoadAll(const Stop& stop) {
    for (size_t i = 0; i < files_.size(); ++i) {
        if (stop && i % 16 == 0 && stop())
            return;
        if (files_[i].state == State::Unread)
            Load(files_[i]);
    }
}

std::optional<std::vector<FoundSnippet>> LocalIndex::Search(const FindQuery& query, size_t maximum,
                                                            const Stop& stop) {
    std::vector<FoundSnippet> rows;
    if (query.Empty())
        return rows;
    std::vector<std::pair<size_t, SnippetMatch>> matches;
    for (size_t i = 0; i < files_.size(); ++i) {
        if (stop && i % 64 == 0 && stop())
            return std::nullopt;
        File& file = files_[i];
        if (file.state == State::Unread)
            Load(file);
        if (file.state != State::Kept)
            continue;
        if (std::optional<SnippetMatch> match =
                query.Match(file.folded_title, folded_languages_[file.language], file.content))
            matches.emplace_back(i, std::move(*match));
    }
    rows.resize(matches.size());
    for (size_t k = 0; k < matches.size(); ++k) {
        const File& file = files_[matches[k].first];
        FoundSnippet& row = rows[k];
        row.place = SnippetPlace::Local;
        row.language = languages_[file.language];
        row.title = file.title;
        row.path = text::FromPathBytes(file.native);
        row.match = std::move(matches[k].second);
    }
    KeepBest(rows, maximum);
    // Only the kept content is folded: the line is shown from the file as it stands.
    for (FoundSnippet& row : rows) {
        if (row.match.rank != MatchRank::Content)
            continue;
        if (const std::optional<wxString> text = local_store::ReadText(row.path))
            row.line = query.FirstMatchingLine(*text, row.match);
    }
    return rows;
}

size_t LocalIndex::KeptBytes() const {
    size_t bytes = 0;
    for (const File& file : files_)
        bytes += file.content.size();
    return bytes;
}
