#include "app/CorvaneFrame.h"

#include "account/Accounts.h"
#include "app/EarlyStart.h"
#include "app/Interface.h"
#include "app/PageRecovery.h"
#include "app/Platform.h"
#include "app/ProcessLifetime.h"
#include "app/Prompts.h"
#include "browse/FindSnippetWindow.h"
#include "editor/find_replace_dialog.h"
#include "editor/snippet_stc.h"
#include "plugins/PluginArguments.h"
#include "plugins/PluginScan.h"
#include "storage/Database.h"
#include "update/VersionCheck.h"
#include "update/auto_update.h"

#include <wx/aui/auibook.h>
#include <wx/gdicmn.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/textentry.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

#include <memory>

namespace {

// A menu item whose help text is exactly the one given. The toolkit fills an empty help text of
// a stock id (New, Undo, Cut, ...) with its own ("Create new document"), which the status bar
// would then show while the item is highlighted.
class MenuItem : public wxMenuItem {
public:
    MenuItem(wxMenu* menu, int id, const wxString& label, const wxString& help)
        : wxMenuItem(menu, id, label, help) {
        m_help = help;
    }
};

// The text field that has the keyboard focus (a form or search field), if any. The Edit menu's
// accelerators take Ctrl-C, Ctrl-V, Delete and the rest before a focused field sees them, so the
// commands act on that field instead of on a snippet. A snippet editor is no such field.
wxTextEntry* FocusedTextField() {
    wxWindow* focus = wxWindow::FindFocus();
    if (focus == nullptr || dynamic_cast<wxStyledTextCtrl*>(focus) != nullptr)
        return nullptr;
    return dynamic_cast<wxTextEntry*>(focus);
}

void AppendItem(wxMenu* menu, int id, const wxString& label, const wxString& help = wxEmptyString) {
    menu->Append(new MenuItem(menu, id, label, help));
}

} // namespace

wxBEGIN_EVENT_TABLE(CorvaneFrame, wxFrame)
    EVT_CLOSE(CorvaneFrame::OnClose)
    EVT_CHAR_HOOK(CorvaneFrame::OnCharHook)
    EVT_MENU(ID_QUIT, CorvaneFrame::OnQuit)
    EVT_MENU(wxID_NEW, CorvaneFrame::OnNew)
    EVT_MENU(ID_SAVE, CorvaneFrame::OnSave)
    EVT_MENU(ID_SAVE_ALL, CorvaneFrame::OnSaveAll)
    EVT_MENU(ID_SAVE_AS, CorvaneFrame::OnSaveAs)
    EVT_MENU(ID_SAVE_LOCAL, CorvaneFrame::OnSaveLocal)
    EVT_MENU(ID_REOPEN_CLOSED_PAGE, CorvaneFrame::OnReopenClosedPage)
    EVT_MENU(wxID_UNDO, CorvaneFrame::OnUndo)
    EVT_MENU(wxID_REDO, CorvaneFrame::OnRedo)
    EVT_MENU(wxID_CUT, CorvaneFrame::OnCut)
    EVT_MENU(wxID_COPY, CorvaneFrame::OnCopy)
    EVT_MENU(wxID_PASTE, CorvaneFrame::OnPaste)
    EVT_MENU(wxID_SELECTALL, CorvaneFrame::OnSelectAll)
    EVT_MENU(ID_DELETE, CorvaneFrame::OnDelete)
    // The tool bar's Delete tool removes the selection like the Edit menu's Delete.
    EVT_MENU(wxID_DELETE, CorvaneFrame::OnDelete)
    EVT_MENU(ID_ZOOM_IN, CorvaneFrame::OnZoomIn)
    EVT_MENU(ID_ZOOM_OUT, CorvaneFrame::OnZoomOut)
    EVT_MENU(ID_FIND, CorvaneFrame::OnFind)
    EVT_MENU(ID_REPLACE, CorvaneFrame::OnReplace)
    EVT_MENU(ID_FIND_SNIPPET, CorvaneFrame::OnFindSnippet)
    EVT_MENU(ID_OPEN_SHELL, CorvaneFrame::OnOpenShell)
    EVT_MENU(ID_LOGIN, CorvaneFrame::OnLogin)
    EVT_MENU(ID_LOGOUT, CorvaneFrame::OnLogout)
    EVT_MENU(ID_REGISTER, CorvaneFrame::OnRegister)
    EVT_MENU(ID_SHARED_SNIPPETS, CorvaneFrame::OnSharedSnippets)
    EVT_MENU(wxID_ABOUT, CorvaneFrame::OnAbout)
    EVT_MENU(ID_VIEW_CHANGELOG, CorvaneFrame::OnViewChangelog)
    EVT_MENU(ID_UPDATE_NOW, CorvaneFrame::OnUpdateNow)
wxEND_EVENT_TABLE()

CorvaneFrame::CorvaneFrame(wxWindow* parent, const wxString& title, EarlyStart* early)
    : wxFrame(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, wxDEFAULT_FRAME_STYLE) {
    wxInitAllImageHandlers();

    EarlyStart::Cloud cloud = early != nullptr ? early->Take() : EarlyStart::Connect();
    connection_ = ProcessLifetime::Keep(std::move(cloud.connection));
    if (!connection_) {
        // A server refused for its encryption is unreachable like any other; the message says why.
        wxString message =
            "Failed to connect to the database...\nOnly local snippets will be available.";
        if (cloud.refusal != Database::TlsRefusal::None)
            message += "\n\nThe connection was refused because " +
                       Database::RefusalText(cloud.refusal) + ".";
        Prompts::Current().ShowMessage(message, Prompts::kDefaultCaption);
    }

    workspace_ = new Interface(this, connection_, cloud.remembered_user);
    find_dialog_ = new find_replace_dialog(this);

    BuildMenuBar();
    BuildToolBar();

    CreateStatusBar();
    SetStatusText(wxEmptyString, 0);

    // Where no window manager honours the request to maximise, the frame still fills the screen.
    SetSize(wxGetClientDisplayRect());
    Maximize();
    workspace_->FocusCurrentEditor();
}

CorvaneFrame::~CorvaneFrame() = default;

void CorvaneFrame::BuildMenuBar() {
    auto* file = new wxMenu(wxEmptyString);
    AppendItem(file, wxID_NEW, "&New\tCtrl-N");
    AppendItem(file, ID_SAVE, "&Save\tCtrl-S");
    AppendItem(file, ID_SAVE_ALL, "Sa&ve All");
    AppendItem(file, ID_SAVE_AS, "Save &As");
    AppendItem(file, ID_SAVE_LOCAL, "Save &Local");
    AppendItem(file, ID_REOPEN_CLOSED_PAGE, "Reopen Closed Page\tCtrl-Shift-T");
    file->AppendSeparator();
    AppendItem(file, ID_QUIT, "&Quit\tAlt-F4");

    auto* edit = new wxMenu(wxEmptyString);
    AppendItem(edit, wxID_UNDO, "Undo\tCtrl-Z");
    AppendItem(edit, wxID_REDO, "Redo\tCtrl-Y");
    edit->AppendSeparator();
    AppendItem(edit, wxID_CUT, "Cut\tCtrl-X");
    AppendItem(edit, wxID_COPY, "Copy\tCtrl-C");
    AppendItem(edit, wxID_PASTE, "Paste\tCtrl-V");
    AppendItem(edit, ID_DELETE, "Delete\tDEL");
    edit->AppendSeparator();
    AppendItem(edit, ID_FIND, "&Find\tCtrl-F");
    AppendItem(edit, ID_REPLACE, "&Replace\tCtrl-H");
    edit->AppendSeparator();
    AppendItem(edit, wxID_SELECTALL, "Select All\tCtrl-A");
    edit->AppendSeparator();
    AppendItem(edit, ID_FIND_SNIPPET, "Find &Snippet...\tCtrl-P");

    auto* view = new wxMenu(wxEmptyString);
    AppendItem(view, ID_ZOOM_IN, "Zoom &In\tCtrl-+");
    AppendItem(view, ID_ZOOM_OUT, "Zoom &Out\tCtrl--");

    auto* account = new wxMenu(wxEmptyString);
    AppendItem(account, ID_LOGIN, "Log&in");
    AppendItem(account, ID_LOGOUT, "Log&out");
    account->AppendSeparator();
    AppendItem(account, ID_SHARED_SNIPPETS, "&Shared Snippets");
    account->AppendSeparator();
    AppendItem(account, ID_REGISTER, "Register");

    auto* help = new wxMenu(wxEmptyString);
    AppendItem(help, wxID_ABOUT, "&About\tF1", "Show info about this application");

    auto* bar = new wxMenuBar();
    bar->Append(file, "&File");
    bar->Append(edit, "&Edit");
    bar->Append(view, "&View");
    bar->Append(account, "&Account");
    if (wxMenu* plugins = LoadPlugins())
        bar->Append(plugins, "&Plugins");
    bar->Append(help, "&Help");
    SetMenuBar(bar);
}

wxMenu* CorvaneFrame::LoadPlugins() {
    const std::vector<plugins::LoadedPlugin> loaded = plugins::LoadPlugins();
    if (loaded.empty())
        return nullptr;
    auto* menu = new wxMenu(wxEmptyString);
    for (const plugins::LoadedPlugin& plugin : loaded) {
        const int id = ID_PLUGIN_BASE + static_cast<int>(plugin_entries.size());
        plugin_entries.push_back(plugin.entry);
        AppendItem(menu, id, plugin.label);
        Bind(wxEVT_MENU, &CorvaneFrame::OnPlugin, this, id);
        if (const std::unique_ptr<wxAcceleratorEntry> key(menu->FindItem(id)->GetAccel()); key)
            plugin_keys_.emplace_back(key->GetFlags(), key->GetKeyCode(), id);
    }
    return menu;
}

void CorvaneFrame::BuildToolBar() {
    struct Tool {
        int id;
        const char* tooltip;
        const char* icon;
    };
    // A zero id stands for a separator.
    static const Tool kTools[] = {
        {wxID_NEW, "New", "./icons/page_add.png"},
        {ID_SAVE, "Save", "./icons/disk.png"},
        {ID_SAVE_ALL, "Save All", "./icons/disk_multiple.png"},
        {ID_SAVE_LOCAL, "Save Locally (Save As)", "./icons/drive_disk.png"},
        {wxID_DELETE, "Delete", "./icons/delete.png"},
        {0, nullptr, nullptr},
        {wxID_CUT, "Cut", "./icons/cut.png"},
        {wxID_COPY, "Copy", "./icons/page_copy.png"},
        {wxID_PASTE, "Paste", "./icons/paste_plain.png"},
        {0, nullptr, nullptr},
        {wxID_UNDO, "Undo", "./icons/arrow_undo.png"},
        {wxID_REDO, "Redo", "./icons/arrow_redo.png"},
        {0, nullptr, nullptr},
        {ID_ZOOM_IN, "Zoom In", "./icons/zoom_in.png"},
        {ID_ZOOM_OUT, "Zoom Out", "./icons/zoom_out.png"},
        {0, nullptr, nullptr},
        {ID_OPEN_SHELL, "Open Shell", "./icons/application_xp_terminal.png"},
    };

    wxToolBar* bar = CreateToolBar();
    bar->SetToolBitmapSize(wxSize(16, 16));
    for (const Tool& tool : kTools) {
        if (tool.id == 0) {
            bar->AddSeparator();
            continue;
        }
        wxImage image;
        {
            // A missing or broken icon file leaves the tool without a picture, silently.
            wxLogNull quiet;
            image.LoadFile(tool.icon, wxBITMAP_TYPE_PNG);
        }
        if (!image.IsOk()) {
            image.Create(16, 16);
            image.InitAlpha();
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    image.SetAlpha(x, y, wxIMAGE_ALPHA_TRANSPARENT);
        }
        bar->AddTool(tool.id, wxEmptyString, wxBitmap(image), wxNullBitmap, wxITEM_NORMAL,
                     tool.tooltip);
    }
    bar->Realize();
}

void CorvaneFrame::AddUpdateMenu() {
    auto* update = new wxMenu(wxEmptyString);
    update->Append(ID_UPDATE_NOW, "&Update Now");
    update->Append(ID_VIEW_CHANGELOG, "&View Changelog");
    GetMenuBar()->Append(update, "Update Available!");
}

// Ending asks nothing: the unsaved pages are kept for the next start.
void CorvaneFrame::OnClose(wxCloseEvent&) {
    workspace_->Recovery().WriteNow(true);
    Destroy();
}

void CorvaneFrame::OnQuit(wxCommandEvent&) {
    workspace_->Recovery().WriteNow(true);
    Destroy();
}

void CorvaneFrame::OnNew(wxCommandEvent&) {
    wxString title = "New Snippet";
    wxString path, content, sid;
    workspace_->OpenSnippetPage(title, path, content, sid, false);
}

void CorvaneFrame::OnSave(wxCommandEvent&) { workspace_->SaveSnippet(-1); }

void CorvaneFrame::OnSaveAll(wxCommandEvent&) {
    // The page count is read again before every step: a save may add or close pages.
    for (int i = 0; static_cast<size_t>(i) < workspace_->Notebook()->GetPageCount(); ++i)
        workspace_->SaveSnippet(i);
}

void CorvaneFrame::OnSaveAs(wxCommandEvent&) { workspace_->SaveToCloud(); }

void CorvaneFrame::OnSaveLocal(wxCommandEvent&) { workspace_->SaveToFile("", ""); }

void CorvaneFrame::OnReopenClosedPage(wxCommandEvent&) {
    workspace_->Recovery().ReopenClosedPage();
}

void CorvaneFrame::OnUndo(wxCommandEvent&) {
    if (wxTextEntry* field = FocusedTextField())
        field->Undo();
    else if (snippet_stc* editor = workspace_->CurrentEditor())
        editor->Undo();
}

void CorvaneFrame::OnRedo(wxCommandEvent&) {
    if (wxTextEntry* field = FocusedTextField())
        field->Redo();
    else if (snippet_stc* editor = workspace_->CurrentEditor())
        editor->Redo();
}

void CorvaneFrame::OnCut(wxCommandEvent&) {
    if (wxTextEntry* field = FocusedTextField())
        field->Cut();
    else if (snippet_stc* editor = workspace_->CurrentEditor())
        editor->Cut();
}

void CorvaneFrame::OnCopy(wxCommandEvent&) {
    if (wxTextEntry* field = FocusedTextField())
        field->Copy();
    else if (snippet_stc* editor = workspace_->CurrentEditor())
        editor->Copy();
}

void CorvaneFrame::OnPaste(wxCommandEvent&) {
    if (wxTextEntry* field = FocusedTextField())
        field->Paste();
    else if (snippet_stc* editor = workspace_->CurrentEditor())
        editor->Paste();
}

void CorvaneFrame::OnDelete(wxCommandEvent&) {
    // The Delete key reaches the program as this command (it is the menu item's accelerator), so
    // in the widget that has the keyboard focus it deletes the selection, or else the character
    // after the caret, as the key always does. Elsewhere (the tree, a button) it may remove the
    // current editor's selection, but never a character the user cannot see go.
    if (wxTextEntry* field = FocusedTextField()) {
        if (field->HasSelection()) {
            field->RemoveSelection();
        } else if (field->IsEditable()) {
            const long caret = field->GetInsertionPoint();
            if (caret < field->GetLastPosition())
                field->Remove(caret, caret + 1);
        }
        return;
    }
    snippet_stc* editor = workspace_->CurrentEditor();
    if (editor == nullptr)
        return;
    if (wxWindow::FindFocus() == editor || editor->GetSelectionStart() != editor->GetSelectionEnd())
        editor->Clear();
}

void CorvaneFrame::OnFind(wxCommandEvent&) {
    find_dialog_->Open(workspace_->CurrentEditor(), false);
}

void CorvaneFrame::OnReplace(wxCommandEvent&) {
    find_dialog_->Open(workspace_->CurrentEditor(), true);
}

void CorvaneFrame::OnFindSnippet(wxCommandEvent&) {
    // Made when first asked for, so that it costs nothing at start-up.
    if (finder_ == nullptr)
        finder_ = new FindSnippetWindow(this, workspace_);
    finder_->Open();
}

void CorvaneFrame::OnSelectAll(wxCommandEvent&) {
    if (wxTextEntry* field = FocusedTextField())
        field->SelectAll();
    else if (snippet_stc* editor = workspace_->CurrentEditor())
        editor->SelectAll();
}

void CorvaneFrame::OnZoomIn(wxCommandEvent&) {
    if (snippet_stc* editor = workspace_->CurrentEditor())
        editor->SetZoom(editor->GetZoom() + 1);
}

void CorvaneFrame::OnZoomOut(wxCommandEvent&) {
    if (snippet_stc* editor = workspace_->CurrentEditor())
        editor->SetZoom(editor->GetZoom() - 1);
}

void CorvaneFrame::OnOpenShell(wxCommandEvent&) {
    const wxString terminal = platform::TerminalCommand();
    // The program waits until the terminal is closed.
    if (terminal.empty() || wxExecute(terminal, wxEXEC_SYNC) == -1) {
        Prompts::Current().ShowMessage(
            "No terminal program (x-terminal-emulator, xterm) was found, so no shell was opened.",
            Prompts::kDefaultCaption);
    }
}

void CorvaneFrame::OnLogin(wxCommandEvent&) { Accounts(*workspace_).Login(); }

void CorvaneFrame::OnLogout(wxCommandEvent&) { Accounts(*workspace_).Logout(); }

void CorvaneFrame::OnRegister(wxCommandEvent&) { workspace_->ShowRegisterPage(); }

void CorvaneFrame::OnSharedSnippets(wxCommandEvent&) { workspace_->ShowSharedSnippets(); }

void CorvaneFrame::OnAbout(wxCommandEvent&) {
    Prompts::Current().ShowMessage(
        "Corvane v2.0 keeps your source-code snippets at hand: on your own disk, in your private "
        "cloud, and shared with everybody who writes code. It is written with a cross-platform "
        "toolkit, so it also runs on other desktop systems. Thank you for using Corvane! Look for "
        "updates on the Corvane project page.",
        "About the Corvane v2.0");
}

void CorvaneFrame::OnViewChangelog(wxCommandEvent&) {
    // A fresh window that asks the service for the changelog again.
    auto_update::Open();
}

void CorvaneFrame::OnUpdateNow(wxCommandEvent&) {
    Prompts::Current().OpenUrl(wxString::FromUTF8(update::DownloadUrl()));
}

void CorvaneFrame::OnPlugin(wxCommandEvent& event) {
    const int index = event.GetId() - ID_PLUGIN_BASE;
    if (index < 0 || static_cast<size_t>(index) >= plugin_entries.size())
        return;
    const wxString& user_id = workspace_->CurrentUserId();
    // A page without an editor hands the plug-in empty texts, never null pointers.
    snippet_stc* editor = workspace_->CurrentEditor();
    const PluginArguments arguments =
        editor ? PluginArguments(user_id, editor->info, editor->SnippetText())
               : PluginArguments(user_id);
    arguments.CallInto(plugin_entries[static_cast<size_t>(index)]);
}

void CorvaneFrame::OnCharHook(wxKeyEvent& event) {
    // The focused window gets a key before the menus do: the editor would take Ctrl-U (lower
    // case) and other keys of its own, and a plug-in bound to them could never run.
    const int modifiers = event.GetModifiers() & (wxMOD_ALT | wxMOD_CONTROL | wxMOD_SHIFT);
    // The editor copies the line on Ctrl-Shift-T.
    if (modifiers == (wxMOD_CONTROL | wxMOD_SHIFT) && event.GetKeyCode() == 'T') {
        workspace_->Recovery().ReopenClosedPage();
        return;
    }
    for (const wxAcceleratorEntry& key : plugin_keys_) {
        if (key.GetFlags() == modifiers && key.GetKeyCode() == event.GetKeyCode()) {
            wxCommandEvent command(wxEVT_MENU, key.GetCommand());
            command.SetEventObject(this);
            ProcessWindowEvent(command);
            return;
        }
    }
    // Find Snippet from anywhere in the window, even where the focused control has a use of its
    // own for the key (a list's type-ahead).
    if (modifiers == wxMOD_CONTROL && event.GetKeyCode() == 'P') {
        wxCommandEvent command(wxEVT_MENU, ID_FIND_SNIPPET);
        command.SetEventObject(this);
        ProcessWindowEvent(command);
        return;
    }
    event.Skip();
}
