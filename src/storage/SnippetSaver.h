#pragma once

#include <wx/string.h>

class Interface;
class panel_with_stc;

// Where the text of a notebook page goes when the user saves it: back to its file, over its
// cloud row, or (for a new snippet) wherever the save-destination dialog says.
// A save that fails says why in one message and leaves the page as it was, so nothing is lost.
class SnippetSaver {
public:
    explicit SnippetSaver(Interface& workspace) : workspace_(workspace) {}

    // Saves page `index` (-1: the selected page).
    void SaveSnippet(int index);
    // Asks for a destination and saves the selected page there.
    void SaveToCloud();
    // Saves the selected page to a file chosen in the directory of `subdirectory` (a language).
    // False when the chosen file could not be written; a cancelled dialog is no failure.
    bool SaveToFile(const wxString& subdirectory, const wxString& file_name);

private:
    // The page at `index` when it is an editor page that can be saved; null otherwise.
    panel_with_stc* SavablePage(int index) const;
    panel_with_stc* SelectedSavablePage() const;
    void ReportFailure(const wxString& what, const wxString& why) const;
    void ReportCloudFailure(const wxString& why) const;

    Interface& workspace_;
};
