#pragma once

#include <wx/string.h>

struct SaveDestinationAnswer;
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
    // For a page restored from the recovery store whose file or cloud row changed since it last
    // loaded or saved it: asks whether to overwrite, and on No saves it where the user chooses.
    // True when the save may go ahead over the page's file or row.
    bool MayOverwrite(panel_with_stc* page, int index);
    // Writes the page's text to a file in the page's encoding (UTF-8 when the text no longer fits
    // it, which is then said); false, after saying why, when the file could not be written.
    bool WritePage(panel_with_stc* page, const wxString& path);
    // Writes the page's text over its cloud row. False only when the row no longer exists (which
    // has been said); every other failure is reported here and counts as handled.
    bool UpdateCloudRow(panel_with_stc* page);
    // Stores the page as a new row of the user's and binds the page to it; false, after saying
    // why, when the row is not in the cloud.
    bool InsertCloudRow(panel_with_stc* page, const wxString& uid,
                        const SaveDestinationAnswer& answer);
    void ReportFailure(const wxString& what, const wxString& why) const;
    void ReportCloudFailure(const wxString& why) const;

    Interface& workspace_;
};
