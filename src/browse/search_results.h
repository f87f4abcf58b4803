#pragma once

#include <wx/panel.h>

#include <optional>

class Database;
class Interface;
class search_results_tree;
class snippet_stc;
class wxBoxSizer;
class wxButton;
class wxCheckBox;
class wxStaticText;

// One page of search results: the found snippets by language, a line about the snippet last
// viewed with "Download" and (for a user logged in when the page was made) "Favourited", and an
// editor with that snippet's text.
class search_results : public wxPanel {
public:
    enum { ID_DOWNLOAD = 5999, ID_FAVOURITE = 6000 };

    search_results(wxWindow* parent, Interface* owner, Database* connection,
                   const wxString& statement);

    snippet_stc* Editor() const { return editor_; }
    search_results_tree* Tree() const { return tree_; }
    wxStaticText* Information() const { return information_; }
    wxButton* DownloadButton() const { return download_; }
    // Null when nobody was logged in when the page was made.
    wxCheckBox* FavouriteBox() const { return favourite_; }
    const wxString& ShownSid() const { return shown_sid_; }

    // What a view of a snippet changes on the page (called by the results tree). The box is
    // ticked as the user's mark is, and disabled while that mark cannot be read.
    void ShowContent(const wxString& content);
    void ShowInformation(const wxString& label);
    void ShowFavourite(std::optional<bool> favourite);
    void SetShownSid(const wxString& sid);

    // The logged-in user's mark for a snippet as the server holds it; nothing when nobody is
    // logged in or it cannot be read.
    std::optional<bool> ReadFavourite(const wxString& sid);

    // After a login or logout: "Favourited" is there only for a logged-in user, and stands for
    // that user's mark on the snippet on view.
    void FollowUser(const wxString& uid);

    void OnDownload(wxCommandEvent& event);
    void OnFavouriteToggled(wxCommandEvent& event);

private:
    void AddFavouriteBox();

    snippet_stc* editor_ = nullptr;
    wxStaticText* information_ = nullptr;
    wxBoxSizer* information_bar_ = nullptr;
    wxCheckBox* favourite_ = nullptr;
    wxButton* download_ = nullptr;
    wxString user_id_;
    wxString shown_sid_;
    search_results_tree* tree_ = nullptr;
    Interface* owner_;
    Database* connection_;

    wxDECLARE_EVENT_TABLE();
};
