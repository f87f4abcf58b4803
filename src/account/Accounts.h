#pragma once

#include <wx/string.h>

#include <optional>

class Database;
class Interface;
class panel_with_stc;

// Logging in, registering and logging out, on the workspace's current user. The login and
// registration forms are notebook pages; their controls report to the workspace panel, which
// keeps what was typed last (user name, password, the "Remember me" box) and calls in here.
class Accounts {
public:
    // Window ids of the form controls (the same on both pages).
    enum {
        ID_LOGIN = 6003,
        ID_REGISTER = 6004,
        ID_USER_NAME = 6005,
        ID_PASSWORD = 6006,
        ID_REMEMBER_ME = 6007,
    };

    explicit Accounts(Interface& workspace) : workspace_(workspace) {}

    // The uid remembered for this machine's public address, or empty text. Runs before the
    // workspace builds its tree; a silent or failing IP echo service leaves the user logged out.
    static wxString RememberedUser(Database& db);
    // The same for a machine whose address is known (nothing: not known).
    static wxString RememberedUser(Database& db, const std::optional<wxString>& address);

    void ShowLoginPage();
    void ShowRegisterPage();
    // Logs in with the typed user name and password.
    void CheckLogin();
    // Creates the account with the typed user name and password, then logs in with them.
    void RegisterUser();

    // The Account menu's Login: who is logged in, or the login page.
    void Login();
    void Logout();

private:
    void ShowFormPage(bool registration);
    panel_with_stc* BuildFormPage(bool registration);

    Interface& workspace_;
};
