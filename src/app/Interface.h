#pragma once

#include "account/AccountForm.h"

#include <wx/panel.h>
#include <wx/weakref.h>

#include <memory>
#include <optional>

class ClipLogger;
class ClipRecorder;
class Database;
class PageRecovery;
class SharedSnippetsPage;
class SnippetBrowser;
class panel_with_stc;
class snippet_stc;
class wxAuiNotebook;
class wxButton;
struct snippet_info;

// The workspace: the left column (public-search button, the snippet tree with its expand and
// collapse buttons, the clipboard log) beside the notebook of pages. It holds the current user
// and lends the database connection to every window that queries.
class Interface : public wxPanel {
public:
    // Window ids of the panel's own controls and of the form controls on its pages.
    enum {
        ID_CLEAR_CLIPBOARD_LOG = 5999,
        ID_EXPAND_ALL = 6000,
        ID_COLLAPSE_ALL = 6001,
        ID_BROWSE_PUBLIC = 6002,
        ID_SHARE_SNIPPET = 6008,
    };

    // `connection` may be null: the cloud is then unavailable for the whole run. The remember-me
    // lookup runs here unless its answer, `remembered_user`, is given (empty for nobody).
    Interface(wxWindow* parent, Database* connection,
              std::optional<wxString> remembered_user = std::nullopt);
    ~Interface() override;

    // Opens a new editor page. `title` becomes the numbered caption; a page with no path,
    // content and sid is a new snippet. Path, content and sid are taken by reference as the
    // callers hand them over. The page is coloured as the language of its file's directory, or
    // else as `language`.
    void OpenSnippetPage(wxString& title, wxString& path, wxString& content, wxString& sid,
                         bool read_only, const wxString& language = wxString());
    // Opens a cloud snippet in a new page, read-only when it is public, coloured as its language.
    // `own`: the row is the current user's (not one of their favourites).
    void OpenCloudSnippet(const snippet_info& info, bool own = true);

    // The editor of the selected page, or null when the page has none. On the public search page,
    // the editor of its selected results page (none before one was selected).
    snippet_stc* CurrentEditor();
    void FocusCurrentEditor();

    // Saving (the work is done by the storage subsystem).
    void SaveSnippet(int index);
    void SaveToCloud();
    void SaveToFile(const wxString& subdirectory, const wxString& file_name);

    // Selects the shared-snippets page, or opens one. Only while somebody is logged in is an
    // open page reused.
    void ShowSharedSnippets();

    // A page's caption as the user named it, without the unsaved-changes marker; setting it keeps
    // the marker. Every caption is read and set through these.
    wxString PageCaption(size_t index) const;
    void SetPageCaption(size_t index, const wxString& caption);
    // Shows or hides the marker as the page has unsaved text or not.
    void RefreshCaption(size_t index);
    // The page's text is now in its file or cloud row.
    void PageSaved(panel_with_stc* page);
    // Keeps unsaved pages for the next start, and closed ones for Reopen Closed Page.
    PageRecovery& Recovery() { return *recovery_; }

    // Pages by index and kind.
    wxAuiNotebook* Notebook() const { return notebook_; }
    panel_with_stc* EditorPage(size_t index) const;
    // The same, with its editor: a restored page gets its editor and text now. Null when there is
    // no such page, or when its text cannot be read.
    panel_with_stc* LoadedPage(size_t index);
    wxString PageKind(size_t index) const;
    // Index of the first page of that kind, or -1.
    int FindPage(const wxString& kind) const;

    // The login and registration pages (one of each at most).
    void ShowLoginPage();
    void ShowRegisterPage();
    AccountForm& Form() { return form_; }

    // The logged-in user's id as decimal text; empty when nobody is logged in.
    const wxString& CurrentUserId() const { return current_user_id_; }
    // Logs a user in (or, with empty text, out): the snippet tree and every open page that lists
    // a user's snippets are brought in line with the new user at once.
    void SetCurrentUserId(const wxString& uid);
    Database* Connection() const { return connection_; }
    SnippetBrowser* Tree() const { return tree_; }
    ClipRecorder* ClipboardLog() const { return clip_log_; }
    ClipLogger* ClipboardWatcher() const { return clip_logger_.get(); }

private:
    void ShowPublicBrowser(wxCommandEvent& event);
    void ShareSnippet(wxCommandEvent& event);
    void ClearClipboardLog(wxCommandEvent& event);
    void OnExpandAll(wxCommandEvent& event);
    void OnCollapseAll(wxCommandEvent& event);
    void CheckLogin(wxCommandEvent& event);
    void RegisterUser(wxCommandEvent& event);
    void OnUserNameText(wxCommandEvent& event);
    void OnPasswordText(wxCommandEvent& event);
    void OnRememberMe(wxCommandEvent& event);

    wxString current_user_id_;
    Database* connection_;
    SnippetBrowser* tree_ = nullptr;
    wxButton* browse_public_button_ = nullptr;
    wxButton* expand_button_ = nullptr;
    wxButton* collapse_button_ = nullptr;
    wxButton* clear_log_button_ = nullptr;
    ClipRecorder* clip_log_ = nullptr;
    wxAuiNotebook* notebook_ = nullptr;
    AccountForm form_;
    // The most recently created shared-snippets page, with its two lists; null once closed.
    wxWeakRef<SharedSnippetsPage> shared_page_;
    // Stops before the list it fills is destroyed with the panel's children.
    std::unique_ptr<ClipLogger> clip_logger_;
    std::unique_ptr<PageRecovery> recovery_;

    wxDECLARE_EVENT_TABLE();
};
