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
    // Where the save dialog opens: this directory, or when it cannot be used (a file has its
    // name, a level above it is missing) the nearest directory above it. A dialog opened on a
    // path that is no directory shows no folder and cannot save.
    wxString DialogDirectory() const;
    // Why this directory cannot be used, as a message for the user; empty when it can.
    wxString Problem() const;

private:
    wxString path_;
    bool created_;
    wxString problem_;
    wxString dialog_directory_;
};
