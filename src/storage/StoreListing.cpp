#include "storage/StoreListing.h"

#include "app/Platform.h"
#include "app/TextCodec.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace {
struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
} // namespace

StoreListing::StoreListing() { entries_.push_back(Entry{0, 0, 0, 0, kTop, true}); }

StoreListing::StoreListing(const wxString& directory) : StoreListing() { Read(directory); }

void StoreListing::Read(const wxString& directory) {
    entries_.resize(1);
    entries_[kTop] = Entry{0, 0, 0, 0, kTop, true};
    names_.clear();
    std::string path = platform::FileSystemPath(directory);
    if (path.empty())
        return;
    std::vector<DirectoryId> inside;
    List(kTop, path, inside);
}

void StoreListing::List(Index directory, std::string& path, std::vector<DirectoryId>& inside) {
    // A file, a pipe or a device has no entries; a link back to a directory being walked would
    // repeat it without end, so it stays a leaf.
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return;
    const DirectoryId id{static_cast<unsigned long long>(status.st_dev),
                         static_cast<unsigned long long>(status.st_ino)};
    if (std::find(inside.begin(), inside.end(), id) != inside.end())
        return;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
    if (!dir)
        return;
    const Index first = static_cast<Index>(entries_.size());
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        entries_.push_back(Entry{static_cast<std::uint32_t>(names_.size()),
                                 static_cast<std::uint32_t>(name.size()), 0, 0, directory,
                                 entry->d_type != DT_REG});
        names_.append(name);
    }
    dir.reset();
    const Index count = static_cast<Index>(entries_.size()) - first;
    entries_[directory].first_child = first;
    entries_[directory].child_count = count;

    inside.push_back(id);
    // Every name is joined with "/": a directory's own name may end in a backslash.
    if (path.back() != '/')
        path += '/';
    const size_t base = path.size();
    for (Index child = first; child < first + count; ++child) {
        if (!entries_[child].may_be_directory)
            continue;
        path.resize(base);
        path.append(Name(child));
        List(child, path, inside);
    }
    path.resize(base);
    inside.pop_back();
}

wxString StoreListing::FileName(Index entry) const { return text::FromPathBytes(Name(entry)); }

wxString StoreListing::Label(Index entry) const { return text::FromUtf8(Name(entry)); }
