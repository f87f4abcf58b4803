#pragma once

#include <wx/string.h>

#include <memory>
#include <optional>

// What the save-destination dialog answered: which button (its window id) and the two fields.
struct SaveDestinationAnswer {
    int result = 0;
    wxString title;
    wxString language;
};

// A "Save File" dialog: its message, the directory it opens in, the proposed name, the wildcard.
struct SaveFileRequest {
    wxString message;
    wxString directory;
    wxString file_name;
    wxString wildcard;
};

// Every modal question the program asks goes through here. The application installs the one that
// shows the toolkit's dialogs; tests install one that answers from a script, so nothing blocks.
class Prompts {
public:
    static constexpr const char* kDefaultCaption = "Message";

    virtual ~Prompts() = default;

    // A message box with an OK button.
    virtual void ShowMessage(const wxString& message, const wxString& caption) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool AskYesNo(const wxString& message, const wxString& caption) = 0;
    // A save-mode file dialog; the chosen path, or nothing when cancelled.
    virtual std::optional<wxString> AskSaveFile(const SaveFileRequest& request) = 0;
    // The save-destination dialog; `ask_destination` offers "My Cloud" beside the local save.
    virtual SaveDestinationAnswer AskSaveDestination(bool ask_destination) = 0;
    // Opens a web page in the desktop's browser, without waiting; a failure is not reported.
    virtual void OpenUrl(const wxString& url) = 0;

    // The prompts in force; installing one returns the previous one.
    static Prompts& Current();
    static bool IsInstalled();
    static std::unique_ptr<Prompts> Install(std::unique_ptr<Prompts> prompts);
};
