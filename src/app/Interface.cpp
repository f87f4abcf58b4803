#include "app/Interface.h"

#include "account/Accounts.h"
#include "app/CaptionNumbering.h"
#include "app/PageRecovery.h"
#include "browse/SharedSnippetsPage.h"
#include "browse/SnippetBrowser.h"
#include "browse/public_browser.h"
#include "browse/search_results.h"
#include "clipboard/ClipLogger.h"
#include "clipboard/ClipRecorder.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"
#include "storage/LocalStore.h"
#include "storage/SnippetSaver.h"

#include <wx/aui/auibook.h>
#include <wx/button.h>
#include <wx/sizer.h>

wxBEGIN_EVENT_TABLE(Interface, wxPanel)
    EVT_BUTTON(Interface::ID_BROWSE_PUBLIC, Interface::ShowPublicBrowser)
    EVT_BUTTON(Interface::ID_CLEAR_CLIPBOARD_LOG, Interface::ClearClipboardLog)
    EVT_BUTTON(Interface::ID_EXPAND_ALL, Interface::OnExpandAll)
    EVT_BUTTON(Interface::ID_COLLAPSE_ALL, Interface::OnCollapseAll)
    EVT_BUTTON(Accounts::ID_LOGIN, Interface::CheckLogin)
    EVT_BUTTON(Accounts::ID_REGISTER, Interface::RegisterUser)
    EVT_TEXT(Accounts::ID_USER_NAME, Interface::OnUserNameText)
    EVT_TEXT(Accounts::ID_PASSWORD, Interface::OnPasswordText)
    EVT_CHECKBOX(Accounts::ID_REMEMBER_ME, Interface::OnRememberMe)
    EVT_BUTTON(Interface::ID_SHARE_SNIPPET, Interface::ShareSnippet)
wxEND_EVENT_TABLE()

Interface::Interface(wxWindow* parent, Database* connection,
                     std::optional<wxString> remembered_user)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER),
      connection_(connection) {
    // A remembered user starts logged in, so the tree below shows their cloud snippets at once.
    if (remembered_user)
        current_user_id_ = *remembered_user;
    else if (connection_ != nullptr)
        current_user_id_ = Accounts::RememberedUser(*connection_);

    browse_public_button_ = new wxButton(this, ID_BROWSE_PUBLIC, "Browse Public Snippets",
                                         wxPoint(5, 5), wxSize(200, 23), 0);
    expand_button_ =
        new wxButton(this, ID_EXPAND_ALL, "Expand All", wxPoint(5, 30), wxSize(100, 23), 0);
    collapse_button_ =
        new wxButton(this, ID_COLLAPSE_ALL, "Collapse All", wxPoint(112, 28), wxSize(100, 23), 0);
    tree_ = new SnippetBrowser(this);
    clear_log_button_ = new wxButton(this, ID_CLEAR_CLIPBOARD_LOG, "Clear Clipboard Log",
                                     wxPoint(5, 291), wxSize(200, 23), 0);
    clip_log_ = new ClipRecorder(this);
    notebook_ =
        new wxAuiNotebook(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxAUI_NB_DEFAULT_STYLE);

    // The unsaved pages of the last session come back in place of the first empty page.
    recovery_ = std::make_unique<PageRecovery>(*this);
    if (!recovery_->RestorePages()) {
        wxString title = "New Snippet";
        wxString empty_path, empty_content, empty_sid;
        OpenSnippetPage(title, empty_path, empty_content, empty_sid, false);
    }

    clip_logger_ = std::make_unique<ClipLogger>(clip_log_);
    clip_logger_->Run();

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(expand_button_, 0, wxLEFT, 0);
    buttons->Add(collapse_button_, 0, wxRIGHT, 0);

    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(browse_public_button_, 0, wxTOP | wxBOTTOM, 0);
    left->Add(buttons, 0, wxTOP | wxBOTTOM, 3);
    left->Add(tree_, 3, wxTOP | wxBOTTOM, 3);
    left->Add(clear_log_button_, 0, wxTOP | wxBOTTOM, 3);
    left->Add(clip_log_, 2, wxTOP | wxBOTTOM, 0);

    auto* right = new wxBoxSizer(wxVERTICAL);
    right->Add(notebook_, 1, wxEXPAND | wxALL, 0);

    auto* columns = new wxBoxSizer(wxHORIZONTAL);
    columns->Add(left, 0, wxEXPAND | wxALL, 3);
    columns->Add(right, 1, wxEXPAND | wxALL, 2);
    SetSizer(columns);
}

Interface::~Interface() {
    // The pages are still there: what changed since the last write is kept for the next start.
    recovery_->WriteNow(true);
}

void Interface::OpenSnippetPage(wxString& title, wxString& path, wxString& content, wxString& sid,
                                bool read_only, const wxString& language) {
    auto* page = new panel_with_stc(notebook_);
    auto* editor = new snippet_stc(page);
    // Before the text arrives, so that it is styled once.
    editor->ColourAs(path.empty() ? language : local_store::LanguageOfPath(path));
    editor->info.sid = sid;
    editor->info.content = content;
    editor->info.title = title;

    std::vector<wxString> captions;
    captions.reserve(notebook_->GetPageCount());
    for (size_t i = 0; i < notebook_->GetPageCount(); ++i)
        captions.push_back(PageCaption(i));
    title = NumberedCaption(title, captions);

    if (path.empty() && content.empty() && sid.empty())
        page->kind = "new-snippet";
    if (!path.empty()) {
        // An unreadable path leaves the page empty.
        if (const std::optional<local_store::FileText> file = local_store::ReadFile(path)) {
            editor->SetSnippetText(file->text);
            page->encoding = file->encoding;
            page->baseline = file->stamp;
        }
        page->path = path;
    }
    page->stc = editor;
    editor->AppendSnippetText(content);
    if (!sid.empty()) {
        page->baseline.fingerprint = recovery::ContentFingerprint(content);
        page->owner = current_user_id_;
    }
    // The opened text is where editing starts: Undo must not take it away again.
    editor->EmptyUndoBuffer();
    if (read_only) {
        editor->info.is_public = true;
        editor->SetReadOnly(true);
    }

    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    sizer->Add(editor, 1, wxEXPAND | wxALL, 3);
    page->SetSizer(sizer);
    notebook_->AddPage(page, title, true);
}

void Interface::OpenCloudSnippet(const snippet_info& info, bool own) {
    wxString title = info.title;
    wxString path;
    wxString content = info.content;
    wxString sid = info.sid;
    OpenSnippetPage(title, path, content, sid, info.is_public, info.language);
    if (!own)
        EditorPage(notebook_->GetSelection())->owner.reset();
}

wxString Interface::PageCaption(size_t index) const {
    const wxString shown = notebook_->GetPageText(index);
    const panel_with_stc* page = EditorPage(index);
    return page != nullptr && page->caption_marked ? UnmarkedCaption(shown) : shown;
}

void Interface::SetPageCaption(size_t index, const wxString& caption) {
    const panel_with_stc* page = EditorPage(index);
    notebook_->SetPageText(index, page != nullptr && page->caption_marked ? MarkedCaption(caption)
                                                                          : caption);
}

void Interface::RefreshCaption(size_t index) {
    panel_with_stc* page = EditorPage(index);
    if (page == nullptr || page->HasUnsavedText() == page->caption_marked)
        return;
    const wxString caption = PageCaption(index);
    page->caption_marked = !page->caption_marked;
    SetPageCaption(index, caption);
}

void Interface::PageSaved(panel_with_stc* page) { recovery_->PageSaved(page); }

panel_with_stc* Interface::EditorPage(size_t index) const {
    if (index >= notebook_->GetPageCount())
        return nullptr;
    return dynamic_cast<panel_with_stc*>(notebook_->GetPage(index));
}

panel_with_stc* Interface::LoadedPage(size_t index) {
    panel_with_stc* page = EditorPage(index);
    return page == nullptr || recovery_->Load(page) ? page : nullptr;
}

wxString Interface::PageKind(size_t index) const {
    const panel_with_stc* page = EditorPage(index);
    return page ? page->kind : wxString();
}

int Interface::FindPage(const wxString& kind) const {
    for (size_t i = 0; i < notebook_->GetPageCount(); ++i) {
        if (PageKind(i) == kind)
            return static_cast<int>(i);
    }
    return -1;
}

snippet_stc* Interface::CurrentEditor() {
    const int selected = notebook_->GetSelection();
    if (selected == wxNOT_FOUND)
        return nullptr;
    const panel_with_stc* page = LoadedPage(static_cast<size_t>(selected));
    if (page == nullptr)
        return nullptr;
    if (page->kind == "public-browser") {
        const auto* browser = dynamic_cast<const public_browser*>(page);
        return browser ? browser->CurrentResultEditor() : nullptr;
    }
    return page->stc;
}

void Interface::FocusCurrentEditor() {
    if (snippet_stc* editor = CurrentEditor())
        editor->SetFocus();
}

void Interface::SaveSnippet(int index) { SnippetSaver(*this).SaveSnippet(index); }

void Interface::SaveToCloud() { SnippetSaver(*this).SaveToCloud(); }

void Interface::SaveToFile(const wxString& subdirectory, const wxString& file_name) {
    SnippetSaver(*this).SaveToFile(subdirectory, file_name);
}

void Interface::SetCurrentUserId(const wxString& uid) {
    current_user_id_ = uid;
    tree_->LoadTree();
    for (size_t i = 0; i < notebook_->GetPageCount(); ++i) {
        wxWindow* page = notebook_->GetPage(i);
        if (auto* shared = dynamic_cast<SharedSnippetsPage*>(page)) {
            shared->FollowUser();
        } else if (auto* search = dynamic_cast<public_browser*>(page)) {
            wxAuiNotebook* results = search->Results();
            for (size_t j = 0; j < results->GetPageCount(); ++j) {
                if (auto* found = dynamic_cast<search_results*>(results->GetPage(j)))
                    found->FollowUser(uid);
            }
        }
    }
}

void Interface::ShowPublicBrowser(wxCommandEvent&) {
    const int existing = FindPage("public-browser");
    if (existing != -1) {
        notebook_->SetSelection(static_cast<size_t>(existing));
        return;
    }
    auto* page = new public_browser(notebook_, this, connection_);
    page->kind = "public-browser";
    notebook_->AddPage(page, "Public Snippets", true);
}

void Interface::ShowSharedSnippets() {
    if (!current_user_id_.empty()) {
        const int existing = FindPage("manage-shared");
        if (existing != -1) {
            notebook_->SetSelection(static_cast<size_t>(existing));
            return;
        }
    }
    auto* page = new SharedSnippetsPage(notebook_, this);
    shared_page_ = page;
    notebook_->AddPage(page, "Shared Snippets", true);
}

void Interface::ShareSnippet(wxCommandEvent& event) {
    // The arrow shares from the lists beside it. With several shared-snippets pages open (made
    // while logged out), the most recent page's lists would be the wrong ones.
    SharedSnippetsPage* page = nullptr;
    for (auto* window = wxDynamicCast(event.GetEventObject(), wxWindow);
         window != nullptr && page == nullptr; window = window->GetParent())
        page = dynamic_cast<SharedSnippetsPage*>(window);
    if (page == nullptr)
        page = shared_page_;
    if (page != nullptr)
        page->ShareSelected();
}

void Interface::ClearClipboardLog(wxCommandEvent&) { clip_log_->ClearLog(); }

void Interface::OnExpandAll(wxCommandEvent&) { tree_->ExpandAll(); }

void Interface::OnCollapseAll(wxCommandEvent&) { tree_->CollapseAll(); }

void Interface::ShowLoginPage() { Accounts(*this).ShowLoginPage(); }

void Interface::ShowRegisterPage() { Accounts(*this).ShowRegisterPage(); }

void Interface::CheckLogin(wxCommandEvent&) { Accounts(*this).CheckLogin(); }

void Interface::RegisterUser(wxCommandEvent&) { Accounts(*this).RegisterUser(); }

void Interface::OnUserNameText(wxCommandEvent& event) { form_.user_name = event.GetString(); }

void Interface::OnPasswordText(wxCommandEvent& event) { form_.password = event.GetString(); }

void Interface::OnRememberMe(wxCommandEvent& event) { form_.remember_me = event.IsChecked(); }
