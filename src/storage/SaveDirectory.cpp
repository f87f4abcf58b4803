#include "storage/SaveDirectory.h"

#include "app/Platform.h"

SaveDirectory::SaveDirectory(const wxString& path)
    : path_(path), created_(platform::MakeDirectory(path)) {}

SaveDirectory::~SaveDirectory() {
    // Removal succeeds only for an empty directory: one that now holds the saved file stays.
    if (created_)
        platform::RemoveDirectory(path_);
}
