#include "gui/GuiFixture.h"

#include "app/CorvaneFrame.h"
#include "app/Interface.h"
#include "browse/SnippetBrowser.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"
#include "storage/Database.h"
#include "support/ScopedEnv.h"

#include <wx/aui/auibook.h>
#include <wx/evtloop.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

struct MenuRow {
    int id;
    const char* label; // null for a separator
};

void ExpectMenu(const wxMenu* menu, const std::vector<MenuRow>& expected) {
    const wxMenuItemList& items = menu->GetMenuItems();
    ASSERT_EQ(items.size(), expected.size());
    size_t row = 0;
    for (const wxMenuItem* item : items) {
        SCOPED_TRACE(testing::Message() << "row " << row);
        const MenuRow& want = expected[row++];
        if (want.label == nullptr) {
            EXPECT_TRUE(item->IsSeparator());
            EXPECT_EQ(item->GetKind(), wxITEM_SEPARATOR);
            continue;
        }
        EXPECT_EQ(item->GetItemLabel(), want.label);
        EXPECT_EQ(item->GetId(), want.id);
        EXPECT_EQ(item->GetKind(), wxITEM_NORMAL);
        if (item->GetId() != wxID_ABOUT) {
            EXPECT_EQ(item->GetHelp(), "");
        }
    }
}

// The key a menu item's label binds, as the toolkit reads it; flags -1 when it binds none.
std::pair<int, int> Accel(wxMenuBar* bar, int id) {
    wxMenuItem* item = bar->FindItem(id);
    if (item == nullptr)
        return {-1, -1};
    std::unique_ptr<wxAcceleratorEntry> accel(item->GetAccel());
    if (!accel)
        return {-1, -1};
    return {accel->GetFlags(), accel->GetKeyCode()};
}

bool FullyTransparent(const wxImage& image) {
    if (!image.HasAlpha())
        return false;
    for (int y = 0; y < image.GetHeight(); ++y) {
        for (int x = 0; x < image.GetWidth(); ++x) {
            if (image.GetAlpha(x, y) != wxIMAGE_ALPHA_TRANSPARENT)
                return false;
        }
    }
    return true;
}

// The tool's picture shows the icon file: same size, same opaque pixels, same transparency.
void ExpectShowsIcon(const wxToolBarToolBase* tool, const wxString& file) {
    wxImage want(file, wxBITMAP_TYPE_PNG);
    ASSERT_TRUE(want.IsOk()) << file;
    const wxImage shown = tool->GetNormalBitmap().ConvertToImage();
    ASSERT_EQ(shown.GetSize(), want.GetSize()) << file;
    ASSERT_EQ(shown.HasAlpha(), want.HasAlpha()) << file;
    int differing = 0;
    for (int y = 0; y < want.GetHeight(); ++y) {
        for (int x = 0; x < want.GetWidth(); ++x) {
            const bool opaque = !want.HasAlpha() || want.GetAlpha(x, y) == wxIMAGE_ALPHA_OPAQUE;
            if (want.HasAlpha() && (want.GetAlpha(x, y) == 0) != (shown.GetAlpha(x, y) == 0))
                ++differing;
            else if (opaque && (want.GetRed(x, y) != shown.GetRed(x, y) ||
                                want.GetGreen(x, y) != shown.GetGreen(x, y) ||
                                want.GetBlue(x, y) != shown.GetBlue(x, y)))
                ++differing;
        }
    }
    EXPECT_EQ(differing, 0) << file;
}

struct ToolRow {
    int id; // 0 for a separator
    const char* tooltip;
    const char* icon;
};

const std::vector<ToolRow>& ExpectedTools() {
    static const std::vector<ToolRow> tools = {
        {wxID_NEW, "New", "page_add.png"},
        {ID_SAVE, "Save", "disk.png"},
        {ID_SAVE_ALL, "Save All", "disk_multiple.png"},
        {ID_SAVE_LOCAL, "Save Locally (Save As)", "drive_disk.png"},
        {wxID_DELETE, "Delete", "delete.png"},
        {0, nullptr, nullptr},
        {wxID_CUT, "Cut", "cut.png"},
        {wxID_COPY, "Copy", "page_copy.png"},
        {wxID_PASTE, "Paste", "paste_plain.png"},
        {0, nullptr, nullptr},
        {wxID_UNDO, "Undo", "arrow_undo.png"},
        {wxID_REDO, "Redo", "arrow_redo.png"},
        {0, nullptr, nullptr},
        {ID_ZOOM_IN, "Zoom In", "zoom_in.png"},
        {ID_ZOOM_OUT, "Zoom Out", "zoom_out.png"},
        {0, nullptr, nullptr},
        {ID_OPEN_SHELL, "Open Shell", "application_xp_terminal.png"},
    };
    return tools;
}

// Runs the frame's construction in another working directory and comes back afterwards.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const wxString& dir) : saved_(wxGetCwd()) {
        wxSetWorkingDirectory(dir);
    }
    ~WorkingDirectory() { wxSetWorkingDirectory(saved_); }

private:
    wxString saved_;
};

} // namespace

TEST_F(GuiTest, MenuBarTitlesInOrder) {
    OpenFrame();
    wxMenuBar* bar = frame_->GetMenuBar();
    ASSERT_NE(bar, nullptr);
    std::vector<wxString> titles;
    for (size_t i = 0; i < bar->GetMenuCount(); ++i)
        titles.push_back(bar->GetMenuLabel(i));
    EXPECT_EQ(titles, (std::vector<wxString>{"&File", "&Edit", "&View", "&Account", "&Help"}));
}

TEST_F(GuiTest, MenuItemsHaveTheirLabelsIdsAndSeparators) {
    OpenFrame();
    wxMenuBar* bar = frame_->GetMenuBar();
    ASSERT_EQ(bar->GetMenuCount(), 5u);
    {
        SCOPED_TRACE("File");
        ExpectMenu(bar->GetMenu(0), {{wxID_NEW, "&New\tCtrl-N"},
                                     {ID_SAVE, "&Save\tCtrl-S"},
                                     {ID_SAVE_ALL, "Sa&ve All"},
                                     {ID_SAVE_AS, "Save &As"},
                                     {ID_SAVE_LOCAL, "Save &Local"},
                                     {ID_REOPEN_CLOSED_PAGE, "Reopen Closed Page\tCtrl-Shift-T"},
                                     {0, nullptr},
                                     {ID_QUIT, "&Quit\tAlt-F4"}});
    }
    {
        SCOPED_TRACE("Edit");
        ExpectMenu(bar->GetMenu(1), {{wxID_UNDO, "Undo\tCtrl-Z"},
                                     {wxID_REDO, "Redo\tCtrl-Y"},
                                     {0, nullptr},
                                     {wxID_CUT, "Cut\tCtrl-X"},
                                     {wxID_COPY, "Copy\tCtrl-C"},
                                     {wxID_PASTE, "Paste\tCtrl-V"},
                                     {ID_DELETE, "Delete\tDEL"},
                                     {0, nullptr},
                                     {ID_FIND, "&Find\tCtrl-F"},
                                     {ID_REPLACE, "&Replace\tCtrl-H"},
                                     {0, nullptr},
                                     {wxID_SELECTALL, "Select All\tCtrl-A"},
                                     {0, nullptr},
                                     {ID_FIND_SNIPPET, "Find &Snippet...\tCtrl-P"}});
    }
    {
        SCOPED_TRACE("View");
        ExpectMenu(bar->GetMenu(2),
                   {{ID_ZOOM_IN, "Zoom &In\tCtrl-+"}, {ID_ZOOM_OUT, "Zoom &Out\tCtrl--"}});
    }
    {
        SCOPED_TRACE("Account");
        ExpectMenu(bar->GetMenu(3), {{ID_LOGIN, "Log&in"},
                                     {ID_LOGOUT, "Log&out"},
                                     {0, nullptr},
                                     {ID_SHARED_SNIPPETS, "&Shared Snippets"},
                                     {0, nullptr},
                                     {ID_REGISTER, "Register"}});
    }
    {
        SCOPED_TRACE("Help");
        ExpectMenu(bar->GetMenu(4), {{wxID_ABOUT, "&About\tF1"}});
        EXPECT_EQ(bar->GetMenu(4)->FindItem(wxID_ABOUT)->GetHelp(),
                  "Show info about this application");
    }
    // The tool bar's Delete has no menu item; the menu's Delete is a command of its own.
    EXPECT_EQ(bar->FindItem(wxID_DELETE), nullptr);
}

TEST_F(GuiTest, HighlightedMenuItemShowsItsHelpInTheStatusBar) {
    OpenFrame();
    wxStatusBar* status = frame_->GetStatusBar();
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->GetFieldsCount(), 1);
    EXPECT_EQ(status->GetStatusText(0), "");
    const auto highlight = [&](int id) {
        wxMenuEvent event(wxEVT_MENU_HIGHLIGHT, id);
        event.SetEventObject(frame_);
        frame_->ProcessWindowEvent(event);
        return status->GetStatusText(0);
    };
    EXPECT_EQ(highlight(wxID_ABOUT), "Show info about this application");
    // Stock items have no help of their own: nothing shows, not the toolkit's stock texts.
    for (int id : std::initializer_list<int>{wxID_NEW, wxID_UNDO, wxID_REDO, wxID_CUT, wxID_COPY,
                                             wxID_PASTE, wxID_SELECTALL, ID_SAVE})
        EXPECT_EQ(highlight(id), "") << "item " << id;
}

TEST_F(GuiTest, MenuAcceleratorsAreParsedAsTheKeysTheyName) {
    OpenFrame();
    wxMenuBar* bar = frame_->GetMenuBar();
    using Key = std::pair<int, int>;
    EXPECT_EQ(Accel(bar, wxID_NEW), Key(wxACCEL_CTRL, 'N'));
    EXPECT_EQ(Accel(bar, ID_SAVE), Key(wxACCEL_CTRL, 'S'));
    EXPECT_EQ(Accel(bar, ID_QUIT), Key(wxACCEL_ALT, WXK_F4));
    EXPECT_EQ(Accel(bar, ID_DELETE), Key(wxACCEL_NORMAL, WXK_DELETE));
    EXPECT_EQ(Accel(bar, ID_FIND), Key(wxACCEL_CTRL, 'F'));
    EXPECT_EQ(Accel(bar, ID_REPLACE), Key(wxACCEL_CTRL, 'H'));
    EXPECT_EQ(Accel(bar, wxID_SELECTALL), Key(wxACCEL_CTRL, 'A'));
    EXPECT_EQ(Accel(bar, ID_FIND_SNIPPET), Key(wxACCEL_CTRL, 'P'));
    EXPECT_EQ(Accel(bar, wxID_ABOUT), Key(wxACCEL_NORMAL, WXK_F1));
    // "Ctrl-+" and "Ctrl--": the character after the separating dash is the key itself.
    EXPECT_EQ(Accel(bar, ID_ZOOM_IN), Key(wxACCEL_CTRL, '+'));
    EXPECT_EQ(Accel(bar, ID_ZOOM_OUT), Key(wxACCEL_CTRL, '-'));
    // Items without a tab in their label bind no key.
    EXPECT_EQ(Accel(bar, ID_SAVE_ALL), Key(-1, -1));
    EXPECT_EQ(Accel(bar, ID_LOGIN), Key(-1, -1));
}

TEST_F(GuiTest, CtrlNKeystrokeOpensANewSnippetPage) {
    OpenFrame();
    snippet_stc* editor = Editor(0);
    ASSERT_NE(editor, nullptr);
    frame_->Raise();
    editor->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == editor; }));

    wxUIActionSimulator keyboard;
    ASSERT_TRUE(keyboard.Char('N', wxMOD_CONTROL));
    ASSERT_TRUE(PumpUntil([&] { return PageCount() == 2; }));
    EXPECT_EQ(Caption(1), "New Snippet 2");
    EXPECT_EQ(Selection(), 1);
    // The accelerator took the key: the first editor did not get an "n".
    EXPECT_EQ(editor->GetText(), "");
}

TEST_F(GuiTest, DeleteKeyRemovesOneCharacterAfterTheCaret) {
    // "DEL" is the Edit menu's accelerator, so the key arrives as the Delete command; it must
    // still delete exactly one character, as in any editor.
    OpenFrame();
    snippet_stc* editor = Editor(0);
    editor->SetText("abcd");
    editor->GotoPos(1);
    frame_->Raise();
    editor->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == editor; }));

    wxUIActionSimulator keyboard;
    ASSERT_TRUE(keyboard.Char(WXK_DELETE));
    ASSERT_TRUE(PumpUntil([&] { return editor->GetText() != "abcd"; }));
    Pump();
    EXPECT_EQ(editor->GetText(), "acd");
    EXPECT_EQ(editor->GetCurrentPos(), 1);
}

TEST_F(GuiTest, DeleteKeyElsewhereNeverDeletesInTheHiddenEditor) {
    OpenFrame();
    snippet_stc* editor = Editor(0);
    editor->SetText("abcd");
    editor->GotoPos(1);
    frame_->Raise();
    wxWindow* tree = reinterpret_cast<wxWindow*>(Workspace()->Tree());
    tree->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == tree; }));

    wxUIActionSimulator keyboard;
    ASSERT_TRUE(keyboard.Char(WXK_DELETE));
    ASSERT_TRUE(keyboard.Char(WXK_DELETE));
    Pump();
    EXPECT_EQ(editor->GetText(), "abcd");
    // A selection the user can see is still removed.
    editor->SetSelection(1, 3);
    ASSERT_TRUE(keyboard.Char(WXK_DELETE));
    ASSERT_TRUE(PumpUntil([&] { return editor->GetText() != "abcd"; }));
    EXPECT_EQ(editor->GetText(), "ad");
}

TEST_F(GuiTest, EditCommandsActOnAFocusedTextField) {
    OpenFrame();
    Editor(0)->SetText("snippet");
    // A form page: a field and no editor, as on the login and search pages.
    auto* page = new panel_with_stc(Workspace()->Notebook());
    auto* field = new wxTextCtrl(page, wxID_ANY, "hello world");
    Workspace()->Notebook()->AddPage(page, "Form", true);
    frame_->Raise();
    field->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == field; }));

    wxUIActionSimulator keyboard;
    ASSERT_TRUE(keyboard.Char('A', wxMOD_CONTROL));
    ASSERT_TRUE(PumpUntil([&] { return field->GetStringSelection() == "hello world"; }));
    ASSERT_TRUE(keyboard.Char('C', wxMOD_CONTROL));
    ASSERT_TRUE(keyboard.Char(WXK_DELETE));
    ASSERT_TRUE(PumpUntil([&] { return field->GetValue().empty(); }));
    ASSERT_TRUE(keyboard.Char('V', wxMOD_CONTROL));
    ASSERT_TRUE(PumpUntil([&] { return field->GetValue() == "hello world"; }));
    field->SetInsertionPoint(0);
    ASSERT_TRUE(keyboard.Char(WXK_DELETE));
    ASSERT_TRUE(PumpUntil([&] { return field->GetValue() == "ello world"; }));
    EXPECT_EQ(Editor(0)->GetText(), "snippet");
}

TEST_F(GuiTest, OpenShellRunsTheTerminalOrSaysThatThereIsNone) {
    OpenFrame();
    const wxString bin = wxGetCwd() + "/bin";
    wxFileName::Mkdir(bin);
    ScopedEnv path("PATH", bin.utf8_string());

    prompts_->ExpectMessage();
    Command(ID_OPEN_SHELL);
    ASSERT_EQ(prompts_->History().size(), 1u);
    EXPECT_EQ(prompts_->History()[0].message,
              "No terminal program (x-terminal-emulator, xterm) was found, so no shell was "
              "opened.");

    // The terminal runs, and the program waits for it.
    const wxString marker = wxGetCwd() + "/terminal-ran";
    {
        std::ofstream script((bin + "/xterm").utf8_string());
        script << "#!/bin/sh\nsleep 0.2\necho done > '" << marker.utf8_string() << "'\n";
    }
    ::chmod((bin + "/xterm").utf8_str(), 0755);
    Command(ID_OPEN_SHELL);
    EXPECT_TRUE(wxFileName::FileExists(marker));
    EXPECT_EQ(prompts_->History().size(), 1u);
}

TEST_F(GuiTest, ConnectionOutlivesTheWindowsThatBorrowIt) {
    OpenFrame();
    Database* connection = Workspace()->Connection();
    ASSERT_NE(connection, nullptr);
    frame_->Destroy();
    frame_ = nullptr;
    Pump();
    const auto row = connection->FirstRow("SELECT 1", Fetch::Stored);
    ASSERT_TRUE(row) << connection->LastError();
    EXPECT_EQ((*row)[0], "1");
}

TEST_F(GuiTest, ZoomKeystrokesChangeTheZoomByOne) {
    OpenFrame();
    snippet_stc* editor = Editor(0);
    frame_->Raise();
    editor->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == editor; }));
    const int start = editor->GetZoom();

    wxUIActionSimulator keyboard;
    // "+" is a shifted key on the display's keyboard: Ctrl-+ is typed as Ctrl+Shift+=.
    ASSERT_TRUE(keyboard.KeyDown(WXK_CONTROL));
    ASSERT_TRUE(keyboard.KeyDown(WXK_SHIFT));
    ASSERT_TRUE(keyboard.Char('='));
    ASSERT_TRUE(keyboard.KeyUp(WXK_SHIFT));
    ASSERT_TRUE(keyboard.KeyUp(WXK_CONTROL));
    ASSERT_TRUE(PumpUntil([&] { return editor->GetZoom() != start; }));
    Pump();
    EXPECT_EQ(editor->GetZoom(), start + 1);

    ASSERT_TRUE(keyboard.Char('-', wxMOD_CONTROL));
    ASSERT_TRUE(PumpUntil([&] { return editor->GetZoom() != start + 1; }));
    Pump();
    EXPECT_EQ(editor->GetZoom(), start);
    EXPECT_EQ(editor->GetText(), "");
}

TEST_F(GuiTest, ToolBarHoldsThirteenToolsInOrder) {
    OpenFrame();
    wxToolBar* bar = frame_->GetToolBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetToolBitmapSize(), wxSize(16, 16));
    const std::vector<ToolRow>& expected = ExpectedTools();
    ASSERT_EQ(bar->GetToolsCount(), expected.size());
    for (size_t pos = 0; pos < expected.size(); ++pos) {
        SCOPED_TRACE(testing::Message() << "position " << pos);
        const wxToolBarToolBase* tool = bar->GetToolByPos(static_cast<int>(pos));
        ASSERT_NE(tool, nullptr);
        if (expected[pos].id == 0) {
            EXPECT_TRUE(tool->IsSeparator());
            continue;
        }
        EXPECT_FALSE(tool->IsSeparator());
        EXPECT_EQ(tool->GetId(), expected[pos].id);
        EXPECT_EQ(tool->GetShortHelp(), expected[pos].tooltip);
        EXPECT_EQ(tool->GetLabel(), "");
        EXPECT_EQ(tool->GetKind(), wxITEM_NORMAL);
        EXPECT_FALSE(tool->GetDisabledBitmap().IsOk());
        const wxBitmap bitmap = tool->GetNormalBitmap();
        ASSERT_TRUE(bitmap.IsOk());
        EXPECT_EQ(bitmap.GetSize(), wxSize(16, 16));
        ExpectShowsIcon(tool, wxString("icons/") + expected[pos].icon);
    }
}

TEST_F(GuiTest, MissingIconLeavesItsToolWithoutAPicture) {
    // A working directory whose icons/ lacks cut.png.
    wxString dir = wxFileName::CreateTempFileName("corvane-icons");
    ASSERT_TRUE(wxRemoveFile(dir));
    ASSERT_TRUE(wxFileName::Mkdir(dir + "/icons", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL));
    ASSERT_TRUE(wxFileName::Mkdir(dir + "/snippets"));
    for (const ToolRow& row : ExpectedTools()) {
        if (row.icon != nullptr && wxString(row.icon) != "cut.png") {
            ASSERT_TRUE(wxCopyFile(wxString("icons/") + row.icon, dir + "/icons/" + row.icon));
        }
    }
    {
        WorkingDirectory in(dir);
        OpenFrame();
    }
    wxFileName::Rmdir(dir, wxPATH_RMDIR_RECURSIVE);

    // Start-up went on: the whole tool bar and the first page are there.
    wxToolBar* bar = frame_->GetToolBar();
    ASSERT_EQ(bar->GetToolsCount(), ExpectedTools().size());
    EXPECT_EQ(PageCount(), 1u);
    for (size_t pos = 0; pos < ExpectedTools().size(); ++pos) {
        const ToolRow& row = ExpectedTools()[pos];
        if (row.id == 0)
            continue;
        SCOPED_TRACE(row.tooltip);
        const wxToolBarToolBase* tool = bar->GetToolByPos(static_cast<int>(pos));
        EXPECT_EQ(tool->GetId(), row.id);
        if (row.id == wxID_CUT) {
            EXPECT_TRUE(FullyTransparent(tool->GetNormalBitmap().ConvertToImage()));
        } else {
            ExpectShowsIcon(tool, wxString("icons/") + row.icon);
        }
    }
}

TEST_F(GuiTest, AboutShowsOneMessageNamingVersionTwo) {
    OpenFrame();
    prompts_->ExpectMessage();
    Command(wxID_ABOUT);
    ASSERT_EQ(prompts_->History().size(), 1u);
    const ScriptedPrompts::Shown& shown = prompts_->History()[0];
    EXPECT_EQ(shown.kind, ScriptedPrompts::Kind::Message);
    EXPECT_EQ(shown.caption, "About the Corvane v2.0");
    EXPECT_TRUE(shown.message.Contains("Corvane")) << shown.message;
    EXPECT_TRUE(shown.message.Contains("2.0")) << shown.message;
}

TEST_F(GuiTest, QuitDestroysTheFrameWithoutAsking) {
    OpenFrame();
    // Unsaved text does not hold the program back.
    Editor(0)->SetText("unsaved");
    wxWeakRef<wxFrame> alive(frame_);
    Command(ID_QUIT);
    ASSERT_TRUE(PumpUntil([&] { return !alive; }));
    frame_ = nullptr;
    EXPECT_TRUE(prompts_->History().empty());
}

TEST_F(GuiTest, CloseBoxDestroysTheFrameWithoutAsking) {
    OpenFrame();
    Command(wxID_NEW);
    Editor(1)->SetText("unsaved");
    wxWeakRef<wxFrame> alive(frame_);
    // What the window manager's close box does: a close event that may be vetoed.
    EXPECT_TRUE(frame_->Close(false));
    ASSERT_TRUE(PumpUntil([&] { return !alive; }));
    frame_ = nullptr;
    EXPECT_TRUE(prompts_->History().empty());
}
