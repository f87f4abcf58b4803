#pragma once

#include <wx/string.h>

// A directory made for one save (a language directory, or the downloads directory) and removed
// again at the end of the save when it is still empty, so that a cancelled dialog leaves nothing
// behind. Only a directory that this object created is ever removed: one that existed before,
// such as the store itself when the language is empty, "/" or ".", is left alone.
class SaveDirectory {
public:
    // Creates one level; an existing directory, or one that cannot be made, is not an error.
    explicit SaveDirectory(const wxString& path);
    // Removes the directory when this object created it and it is empty.
    ~SaveDirectory();
    SaveDirectory(const SaveDirectory&) = delete;
    SaveDirectory& operator=(const SaveDirectory&) = delete;

    const wxString& Path() const { return path_; }
    bool Created() const { return created_; }

private:
    wxString path_;
    bool created_;
};
