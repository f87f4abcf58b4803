#include "storage/SaveDirectory.h"

#include "app/Platform.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

// The path without the separators at its end, which would make the system look only for a
// directory.
wxString WithoutSeparator(wxString path) {
    while (path.length() > 1 && path.EndsWith("/"))
        path.RemoveLast();
    return path;
}

bool IsDirectory(const wxString& path, bool* exists = nullptr) {
    const std::string native = platform::FileSystemPath(WithoutSeparator(path));
    struct stat status;
    const bool found = !native.empty() && ::stat(native.c_str(), &status) == 0;
    if (exists != nullptr)
        *exists = found;
    return found && S_ISDIR(status.st_mode);
}

} // namespace

SaveDirectory::SaveDirectory(const wxString& path)
    : path_(path), created_(platform::MakeDirectory(path)) {
    const int make_error = errno;
    bool exists = false;
    if (created_ || IsDirectory(path_, &exists))
        return;
    problem_ = exists ? wxString("a file of that name is in the way")
                      : wxString::FromUTF8(std::strerror(make_error));
    // The nearest directory above, where the dialog can open and its Save button works.
    wxString above = WithoutSeparator(path_);
    do {
        above = above.Contains("/") ? above.BeforeLast('/') : wxString(".");
    } while (!above.empty() && above != "." && !IsDirectory(above));
    dialog_directory_ = above.empty() ? wxString("/") : above + "/";
}

SaveDirectory::~SaveDirectory() {
    // Removal succeeds only for an empty directory: one that now holds the saved file stays.
    if (created_)
        platform::RemoveDirectory(path_);
}

wxString SaveDirectory::DialogDirectory() const {
    return problem_.empty() ? path_ : dialog_directory_;
}

wxString SaveDirectory::Problem() const {
    if (problem_.empty())
        return wxString();
    return "The snippet cannot be saved in the folder \"" + path_ + "\": " + problem_ +
           ".\n\nThe file dialog opens in \"" + dialog_directory_ + "\" instead.";
}
