#include "account/Accounts.h"

#include "account/PublicAddress.h"
#include "app/Interface.h"
#include "app/Prompts.h"
#include "browse/SnippetBrowser.h"
#include "editor/panel_with_stc.h"
#include "storage/Database.h"
#include "storage/Statements.h"

#include <wx/aui/auibook.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

void Say(const wxString& message) {
    Prompts::Current().ShowMessage(message, Prompts::kDefaultCaption);
}

// The first column of the first row; nothing without a connection, a row or a first column.
std::optional<wxString> FirstField(Database* db, const wxString& statement) {
    if (db == nullptr)
        return std::nullopt;
    const std::optional<std::vector<wxString>> row = db->FirstRow(statement, Fetch::Stored);
    if (!row || row->empty())
        return std::nullopt;
    return row->front();
}

// Why a new account was not created, as far as it can be told; `db` is null when there has been
// no connection since start-up.
wxString RegistrationFailure(const Database* db) {
    if (db != nullptr && db->OutcomeUnknown())
        return "The connection to the cloud broke while the account was being created, so it may "
               "or may not exist. Try to log in with it once the cloud can be reached again.";
    const wxString not_created = "The account was not created: ";
    if (db == nullptr || db->LastFailure() == Database::Failure::Unreachable)
        return not_created + "the cloud cannot be reached. Please try again later.";
    if (db->LastFailure() == Database::Failure::ValueTooLong)
        return not_created + "the user name is longer than the cloud accepts. Please choose a "
                             "shorter one.";
    return not_created + "the cloud refused it.\n" + db->LastError();
}

// One label-and-field row of a form.
wxSizer* FormRow(wxWindow* label, wxWindow* field) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(label, 0, wxALIGN_CENTER);
    row->Add(field, 2, wxALIGN_CENTER);
    return row;
}

} // namespace

wxString Accounts::RememberedUser(Database& db) {
    return RememberedUser(db, account::PublicAddress());
}

wxString Accounts::RememberedUser(Database& db, const std::optional<wxString>& address) {
    if (!address)
        return wxString();
    const std::optional<wxString> uid = FirstField(&db, statements::RememberedUser(db, *address));
    // Only an id may stand unquoted in the statements that follow.
    return uid && statements::IsId(*uid) ? *uid : wxString();
}

void Accounts::ShowLoginPage() { ShowFormPage(false); }

void Accounts::ShowRegisterPage() { ShowFormPage(true); }

void Accounts::ShowFormPage(bool registration) {
    const int existing = workspace_.FindPage(registration ? "register" : "login");
    if (existing != -1) {
        workspace_.Notebook()->SetSelection(static_cast<size_t>(existing));
        return;
    }
    workspace_.Notebook()->AddPage(BuildFormPage(registration), registration ? "Register" : "Login",
                                   true);
}

panel_with_stc* Accounts::BuildFormPage(bool registration) {
    auto* page = new panel_with_stc(workspace_.Notebook());
    page->kind = registration ? "register" : "login";
    page->SetBackgroundColour(wxColour(255, 255, 255, 255));

    auto* top_spacer = new wxStaticText(page, wxID_ANY, wxEmptyString);
    auto* user_label = new wxStaticText(page, wxID_ANY, "Username: ");
    auto* user_field = new wxTextCtrl(page, ID_USER_NAME, wxEmptyString, wxDefaultPosition,
                                      wxSize(200, 21), 0, wxDefaultValidator, "username");
    auto* user_spacer = new wxStaticText(page, wxID_ANY, wxEmptyString);
    auto* password_label = new wxStaticText(page, wxID_ANY, "Password:  ");
    auto* password_field = new wxTextCtrl(page, ID_PASSWORD, wxEmptyString, wxDefaultPosition,
                                          wxSize(200, 21), wxTE_PASSWORD);
    auto* password_spacer = new wxStaticText(page, wxID_ANY, wxEmptyString);
    auto* remember =
        new wxCheckBox(page, ID_REMEMBER_ME, "Remember me", wxDefaultPosition, wxSize(157, 21), 0);
    auto* button =
        registration
            ? new wxButton(page, ID_REGISTER, "Register", wxDefaultPosition, wxSize(100, 23))
            : new wxButton(page, ID_LOGIN, "Login", wxDefaultPosition, wxSize(100, 23));
    auto* bottom_spacer = new wxStaticText(page, wxID_ANY, wxEmptyString);
    auto* left_margin =
        new wxStaticText(page, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(0, 0));
    auto* right_margin =
        new wxStaticText(page, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(0, 0));

    auto* actions = new wxBoxSizer(wxHORIZONTAL);
    actions->Add(remember, 0, wxALIGN_CENTER);
    actions->Add(button, 0, wxALIGN_CENTER);

    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(top_spacer, 0, wxALIGN_CENTER);
    column->Add(FormRow(user_label, user_field), 0, wxALIGN_CENTER);
    column->Add(user_spacer, 0, 0);
    column->Add(FormRow(password_label, password_field), 0, wxALIGN_CENTER);
    column->Add(password_spacer, 0, 0);
    column->Add(actions, 0, wxALIGN_CENTER);
    column->Add(bottom_spacer, 0, 0);
    if (registration) {
        auto* note = new wxStaticText(
            page, wxID_ANY,
            "By registering, you will gain access to your own personal \"cloud\", meaning you "
            "can save your snippets on a server privately to access from anywhere!",
            wxDefaultPosition, wxSize(260, 40));
        // Wrapped at its width and as tall as its lines need: with larger desktop fonts three
        // lines do not fit into 40 pixels.
        note->Wrap(260);
        note->SetMinSize(wxSize(260, std::max(40, note->GetBestSize().GetHeight())));
        column->Add(note, 0, wxALIGN_CENTER);
    }

    auto* margins = new wxBoxSizer(wxHORIZONTAL);
    margins->Add(left_margin, 1, wxALIGN_CENTER);
    margins->Add(column, 2, wxALIGN_CENTER);
    margins->Add(right_margin, 1, wxALIGN_CENTER);
    page->SetSizer(margins);
    return page;
}

void Accounts::CheckLogin() {
    Database* db = workspace_.Connection();
    AccountForm& form = workspace_.Form();
    std::optional<wxString> uid;
    if (db != nullptr)
        uid = FirstField(db, statements::CheckLogin(*db, form.user_name, form.password));
    if (!uid || !statements::IsId(*uid)) {
        Say("Invalid login details. Please try again.");
        return;
    }

    workspace_.SetCurrentUserId(*uid);

    bool not_remembered = false;
    if (form.remember_me) {
        // The row is added on every such login, as it was asked for.
        // An address the echo service could not give, or one the server cannot store (an
        // answer that is no IPv4 address), leaves the machine unremembered, which is said.
        const std::optional<wxString> address = account::PublicAddress();
        not_remembered = !address || !db->Execute(statements::RememberUser(*db, *uid, *address));
    }
    Say("Logged in successfully. Enjoy! :)");
    if (not_remembered)
        Say("This machine could not be remembered: its public address could not be found out "
            "or stored. You will have to log in again next time.");

    // The form that was used goes; any other page stays.
    wxAuiNotebook* notebook = workspace_.Notebook();
    const int selected = notebook->GetSelection();
    if (selected != wxNOT_FOUND) {
        const wxString kind = workspace_.PageKind(static_cast<size_t>(selected));
        if (kind == "login" || kind == "register")
            notebook->DeletePage(static_cast<size_t>(selected));
    }
    form.user_name.clear();
    form.password.clear();
}

void Accounts::RegisterUser() {
    const AccountForm& form = workspace_.Form();
    if (form.user_name.empty() || form.password.empty()) {
        Say(form.user_name.empty()
                ? "Please type a user name to register with. Nothing was registered."
                : "Please type a password to register with. Nothing was registered.");
        return;
    }
    Database* db = workspace_.Connection();
    if (db != nullptr && FirstField(db, statements::NameTaken(*db, form.user_name))) {
        Say("Username is already taken! Please try again.");
    } else if (db == nullptr ||
               !db->Execute(statements::AddUser(*db, form.user_name, form.password))) {
        // Logging in now would only say that the login details are invalid.
        Say(RegistrationFailure(db));
        return;
    }
    CheckLogin();
}

void Accounts::Login() {
    const wxString& uid = workspace_.CurrentUserId();
    if (uid.empty()) {
        ShowLoginPage();
        return;
    }
    Database* db = workspace_.Connection();
    if (db == nullptr || !statements::IsId(uid))
        return;
    if (const std::optional<wxString> name = FirstField(db, statements::UserName(uid)))
        Say("You are already logged in as " + *name + "!");
}

void Accounts::Logout() {
    if (workspace_.CurrentUserId().empty()) {
        Say("You are currently not logged in.");
        return;
    }
    workspace_.SetCurrentUserId(wxString());
    Say("Logged out successfully!");
}
