#pragma once

#include "corvane_plugin.h"

#include <wx/accel.h>
#include <wx/frame.h>

#include <vector>

class Database;
class FindSnippetWindow;
class Interface;
class EarlyStart;
class find_replace_dialog;

// Command identifiers of the main window (stock ids where the toolkit has one).
enum {
    // Commands beyond the original ones stand below the frame's 1001 to 1019, since plug-ins
    // take 1020 upward without bound.
    ID_REOPEN_CLOSED_PAGE = 990,
    ID_FIND_SNIPPET = 991,
    ID_SAVE_ALL = 1001,
    ID_SAVE = 1002,
    ID_SAVE_LOCAL = 1003,
    ID_SAVE_AS = 1004,
    ID_QUIT = 1005,
    ID_ZOOM_IN = 1006,
    ID_ZOOM_OUT = 1007,
    ID_OPEN_SHELL = 1008,
    ID_LOGIN = 1011,
    ID_LOGOUT = 1012,
    ID_REGISTER = 1013,
    ID_SHARED_SNIPPETS = 1014,
    ID_DELETE = 1015,
    ID_FIND = 1016,
    ID_REPLACE = 1017,
    ID_VIEW_CHANGELOG = 1018,
    ID_UPDATE_NOW = 1019,
    ID_PLUGIN_BASE = 1020,
};

// The main window: menus, tool bar and status bar around the workspace panel. It opens the
// database connection and turns every command into a call on the workspace or its editors.
class CorvaneFrame : public wxFrame {
public:
    // The cloud connection and the remember-me lookup come from `early` when the program began
    // them at its start; without it, the constructor makes them itself.
    CorvaneFrame(wxWindow* parent, const wxString& title, EarlyStart* early = nullptr);
    ~CorvaneFrame() override;

    // Appends the "Update Available!" menu.
    void AddUpdateMenu();

    Interface* Workspace() const { return workspace_; }
    find_replace_dialog* FindReplaceDialog() const { return find_dialog_; }
    // The Find Snippet window; null until the command is first used.
    FindSnippetWindow* SnippetFinder() const { return finder_; }
    // The entry points of the loaded plug-ins; the one at k runs for the item ID_PLUGIN_BASE + k.
    const std::vector<CorvanePluginMainFunction>& PluginEntries() const { return plugin_entries; }

    void OnClose(wxCloseEvent& event);
    void OnQuit(wxCommandEvent& event);
    void OnNew(wxCommandEvent& event);
    void OnSave(wxCommandEvent& event);
    void OnSaveAll(wxCommandEvent& event);
    void OnSaveAs(wxCommandEvent& event);
    void OnSaveLocal(wxCommandEvent& event);
    void OnReopenClosedPage(wxCommandEvent& event);
    void OnUndo(wxCommandEvent& event);
    void OnRedo(wxCommandEvent& event);
    void OnCut(wxCommandEvent& event);
    void OnCopy(wxCommandEvent& event);
    void OnPaste(wxCommandEvent& event);
    void OnDelete(wxCommandEvent& event);
    void OnFind(wxCommandEvent& event);
    void OnReplace(wxCommandEvent& event);
    void OnFindSnippet(wxCommandEvent& event);
    void OnSelectAll(wxCommandEvent& event);
    void OnZoomIn(wxCommandEvent& event);
    void OnZoomOut(wxCommandEvent& event);
    void OnOpenShell(wxCommandEvent& event);
    void OnLogin(wxCommandEvent& event);
    void OnLogout(wxCommandEvent& event);
    void OnRegister(wxCommandEvent& event);
    void OnSharedSnippets(wxCommandEvent& event);
    void OnAbout(wxCommandEvent& event);
    void OnViewChangelog(wxCommandEvent& event);
    void OnUpdateNow(wxCommandEvent& event);
    void OnPlugin(wxCommandEvent& event);
    // Plug-in accelerators act before the focused window sees the key.
    void OnCharHook(wxKeyEvent& event);

private:
    void BuildMenuBar();
    // The "&Plugins" menu, or null when no plug-in was loaded.
    wxMenu* LoadPlugins();
    void BuildToolBar();

    // Opened once at start-up and kept until the process ends (it outlives every window that
    // borrows it); null when the cloud could not be reached.
    Database* connection_ = nullptr;
    Interface* workspace_ = nullptr;
    find_replace_dialog* find_dialog_ = nullptr;
    FindSnippetWindow* finder_ = nullptr;
    std::vector<CorvanePluginMainFunction> plugin_entries;
    // The accelerators of plug-in items, each with its item's id.
    std::vector<wxAcceleratorEntry> plugin_keys_;

    wxDECLARE_EVENT_TABLE();
};
