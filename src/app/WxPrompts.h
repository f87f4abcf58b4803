#pragma once

#include "app/Prompts.h"

// The prompts of the running program: the toolkit's modal dialogs.
class WxPrompts : public Prompts {
public:
    void ShowMessage(const wxString& message, const wxString& caption) override;
    bool AskYesNo(const wxString& message, const wxString& caption) override;
    std::optional<wxString> AskSaveFile(const SaveFileRequest& request) override;
    SaveDestinationAnswer AskSaveDestination(bool ask_destination) override;
    void OpenUrl(const wxString& url) override;
};
