#include "browse/LocalIndex.h"

#include "app/Platform.h"
#include "app/TextCodec.h"
#include "storage/LocalStore.h"

#include <wx/hashmap.h>

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

void LocalIndex::Refresh() {
    std::unordered_map<wxString, size_t, wxStringHash, wxStringEqual> known;
    known.reserve(files_.size());
    for (size_t i = 0; i < files_.size(); ++i)
        known.emplace(files_[i].path, i);
    languages_.clear();
    folded_languages_.clear();

    // As the tree lists the store: the first level names the language; a file right in the
    // store's root is its own language.
    struct Directory {
        wxString path;
        std::optional<size_t> language;
    };
    std::vector<File> walked;
    walked.reserve(files_.size());
    const auto visit = [&](const Directory& parent, const local_store::Entry& entry) {
        Directory here{local_store::WithSeparator(parent.path) + entry.name, parent.language};
        if (!here.language)
            here.language = LanguageIndex(entry.label);
        const std::string native = platform::FileSystemPath(here.path);
        struct stat status;
        // Directories are walked on; pipes, devices, sockets and broken links are no snippets.
        if (native.empty() || ::stat(native.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
            return here;
        File& file = walked.emplace_back();
        file.size = static_cast<long long>(status.st_size);
        file.modified_ns =
            static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec;
        const auto before = known.find(here.path);
        if (before != known.end()) {
            File& old = files_[before->second];
            // Swapped, not copied: the old entry is dropped below.
            file.path.swap(old.path);
            file.title.swap(old.title);
            file.folded_title.swap(old.folded_title);
            if (old.size == file.size && old.modified_ns == file.modified_ns) {
                file.state = old.state;
                file.content.swap(old.content);
            }
        } else {
            file.path = here.path;
            file.title = entry.label;
            file.folded_title = FoldCase(entry.label);
        }
        file.language = *here.language;
        return here;
    };
    local_store::Walk(root_, Directory{root_, std::nullopt}, visit);
    files_.swap(walked);
}

bool LocalIndex::Load(File& file) {
    const std::optional<std::string> bytes = local_store::ReadBytes(file.path);
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
        row.path = file.path;
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
