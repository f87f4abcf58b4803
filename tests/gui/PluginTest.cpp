#include "gui/GuiFixture.h"

#include "RecordingPlugin.h"
#include "support/CapturedLog.h"

#include "app/CorvaneFrame.h"
#include "app/Interface.h"
#include "browse/FindSnippetWindow.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_info.h"
#include "editor/snippet_stc.h"

#include <wx/aui/auibook.h>
#include <wx/menu.h>
#include <wx/uiaction.h>

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Plug-ins in ./plugins/ of the test's working directory. Every test names its libraries
// differently: the loader knows a library by its path, and all tests may share one process.
class PluginTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        fs::remove_all("plugins");
        fs::remove_all("exports");
    }

    static void Install(const std::string& built, const std::string& relative,
                        const char* from = TEST_PLUGIN_DIR) {
        const fs::path target = fs::path("plugins") / relative;
        fs::create_directories(target.parent_path());
        fs::copy_file(fs::path(from) / built, target);
    }

    std::vector<wxString> MenuTitles() const {
        std::vector<wxString> titles;
        wxMenuBar* bar = frame_->GetMenuBar();
        for (size_t i = 0; i < bar->GetMenuCount(); ++i)
            titles.push_back(bar->GetMenuLabel(i));
        return titles;
    }
    wxMenu* PluginsMenu() const {
        wxMenuBar* bar = frame_->GetMenuBar();
        const int index = bar->FindMenu("&Plugins");
        return index == wxNOT_FOUND ? nullptr : bar->GetMenu(static_cast<size_t>(index));
    }

    // The calls a plug-in at ./plugins/<relative> recorded.
    static std::vector<RecordedCall> Calls(const std::string& relative) {
        const std::string path = "./plugins/" + relative;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle == nullptr)
            return {};
        const auto count =
            reinterpret_cast<RecordedCallCountFunction>(dlsym(handle, kRecordedCallCount));
        const auto at = reinterpret_cast<RecordedCallAtFunction>(dlsym(handle, kRecordedCallAt));
        std::vector<RecordedCall> calls;
        for (int i = 0; count && at && i < count(); ++i)
            calls.push_back(*at(i));
        return calls;
    }

    // Ctrl and a letter from the keyboard, with the keyboard in the first page's editor.
    void PressCtrlInEditor(char letter) {
        frame_->Raise();
        Editor(0)->SetFocus();
        ASSERT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == Editor(0); }));
        wxUIActionSimulator keyboard;
        ASSERT_TRUE(keyboard.Char(letter, wxMOD_CONTROL));
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
};

} // namespace

TEST_F(PluginTest, NoPluginsMenuWithLibrariesInSubdirectoriesOnly) {
    Install("recording_a.so", "tools/only-below.so");
    OpenFrame();
    EXPECT_EQ(MenuTitles(),
              (std::vector<wxString>{"&File", "&Edit", "&View", "&Account", "&Help"}));
    EXPECT_TRUE(frame_->PluginEntries().empty());
    EXPECT_EQ(dlopen("./plugins/tools/only-below.so", RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST_F(PluginTest, EachItemCallsItsOwnLibrary) {
    std::ofstream("plugins/0-notes.txt") << "read me first";
    Install("recording_a.so", "a-lib.so");
    Install("recording_b.so", "b-lib.so");
    OpenFrame();
    EXPECT_EQ(MenuTitles(),
              (std::vector<wxString>{"&File", "&Edit", "&View", "&Account", "&Plugins", "&Help"}));
    wxMenu* menu = PluginsMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->GetMenuItemCount(), 2u);
    const wxMenuItemList& items = menu->GetMenuItems();
    EXPECT_EQ(items[0]->GetId(), 1020);
    EXPECT_EQ(items[0]->GetItemLabel(), "a-lib");
    EXPECT_EQ(items[1]->GetId(), 1021);
    EXPECT_EQ(items[1]->GetItemLabel(), "b-lib");

    Command(1021);
    ASSERT_EQ(Calls("b-lib.so").size(), 1u);
    EXPECT_EQ(Calls("b-lib.so")[0].tag, "B");
    EXPECT_TRUE(Calls("a-lib.so").empty());
    Command(1020);
    Command(1020);
    EXPECT_EQ(Calls("a-lib.so").size(), 2u);
    EXPECT_EQ(Calls("b-lib.so").size(), 1u);
}

TEST_F(PluginTest, NamesShortcutsAndAFileThatIsNoLibrary) {
    Install("recording_named.so", "named.so");
    Install("recording_b.so", "tools/upper.so");
    std::ofstream("plugins/broken.so") << "this is text, not a library";
    CapturedLog log;
    OpenFrame();

    wxMenu* menu = PluginsMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->GetMenuItemCount(), 2u);
    EXPECT_EQ(menu->GetMenuItems()[0]->GetItemLabel(), "tools/upper");
    EXPECT_EQ(menu->GetMenuItems()[1]->GetItemLabel(), "Upper Case\tCtrl-U");
    // The file that is not a library was reported to the log and start-up went on.
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_TRUE(log.messages[0].Contains("broken.so")) << log.messages[0];
    EXPECT_EQ(PageCount(), 1u);

    // The accelerator runs the plug-in, although the editor has a command of its own for it.
    snippet_stc* editor = Editor(0);
    editor->SetText("TYPED");
    editor->SelectAll();
    PressCtrlInEditor('U');
    ASSERT_TRUE(PumpUntil([&] { return Calls("named.so").size() == 1; }));
    EXPECT_EQ(Calls("named.so")[0].text, "TYPED");
    // The editor's own Ctrl-U would have turned the selection into lower case.
    EXPECT_EQ(editor->GetText(), "TYPED");
}

TEST_F(PluginTest, EntryPointGetsTheUserAndTheEditorsSnippet) {
    Install("recording_a.so", "recorder.so");
    OpenFrame();
    snippet_info info;
    info.sid = "42";
    info.title = L"Gr\u00f6\u00dfe \u2713";
    info.content = "int a;";
    info.is_public = false;
    Workspace()->OpenCloudSnippet(info);
    snippet_stc* editor = Workspace()->CurrentEditor();
    ASSERT_NE(editor, nullptr);
    editor->AppendText(L" // edited \u00e9");

    Command(ID_PLUGIN_BASE);
    Workspace()->SetCurrentUserId("7");
    Command(ID_PLUGIN_BASE);
    info.sid = "43";
    info.is_public = true;
    Workspace()->OpenCloudSnippet(info);
    Command(ID_PLUGIN_BASE);

    const std::vector<RecordedCall> calls = Calls("recorder.so");
    ASSERT_EQ(calls.size(), 3u);
    const RecordedCall& out = calls[0];
    EXPECT_FALSE(out.any_null);
    EXPECT_EQ(out.user_id, "");
    EXPECT_EQ(out.sid, "42");
    EXPECT_EQ(out.title, "Gr\xc3\xb6\xc3\x9f"
                         "e \xe2\x9c\x93");
    EXPECT_EQ(out.text, "int a; // edited \xc3\xa9");
    EXPECT_EQ(out.uid, "");
    EXPECT_EQ(out.language, "");
    EXPECT_EQ(out.is_public, 0);
    EXPECT_EQ(calls[1].user_id, "7");
    EXPECT_EQ(calls[1].text, out.text);
    EXPECT_EQ(calls[2].sid, "43");
    EXPECT_EQ(calls[2].text, "int a;");
    EXPECT_EQ(calls[2].is_public, 1);
}

TEST_F(PluginTest, APageWithoutAnEditorGivesEmptyTexts) {
    Install("recording_a.so", "form-page.so");
    OpenFrame();
    Workspace()->SetCurrentUserId("9");
    auto* form = new panel_with_stc(Workspace()->Notebook());
    form->kind = "login";
    Workspace()->Notebook()->AddPage(form, "Login", true);
    ASSERT_EQ(Workspace()->CurrentEditor(), nullptr);

    Command(ID_PLUGIN_BASE);
    const std::vector<RecordedCall> calls = Calls("form-page.so");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].any_null);
    EXPECT_EQ(calls[0].user_id, "9");
    EXPECT_EQ(calls[0].sid + calls[0].title + calls[0].text + calls[0].uid + calls[0].language, "");
    EXPECT_EQ(calls[0].is_public, 0);
}

TEST_F(PluginTest, SamplePluginsExportTheSnippet) {
    Install("markdown_export.so", "markdown_export.so", EXAMPLE_PLUGIN_DIR);
    Install("html_export.so", "html_export.so", EXAMPLE_PLUGIN_DIR);
    OpenFrame();
    wxMenu* menu = PluginsMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->GetMenuItemCount(), 2u);
    EXPECT_EQ(menu->GetMenuItems()[0]->GetItemLabel(), "Export as HTML");
    EXPECT_EQ(menu->GetMenuItems()[1]->GetItemLabel(), "Export as Markdown\tCtrl-Shift-M");

    snippet_info info;
    info.sid = "5";
    info.title = "../a/b <c>";
    info.content = "if (a < b && c) {}\n```\n";
    Workspace()->OpenCloudSnippet(info);
    Workspace()->CurrentEditor()->info.language = "C";
    Command(ID_PLUGIN_BASE);
    Command(ID_PLUGIN_BASE + 1);

    // The title cannot climb out of ./exports or hide the file.
    EXPECT_EQ(ReadFile("exports/_._a_b <c>.md"),
              "# ../a/b <c>\n\nLanguage: C\n\n````C\nif (a < b && c) {}\n```\n````\n");
    const std::string html = ReadFile("exports/_._a_b <c>.html");
    EXPECT_NE(html.find("<h1>../a/b &lt;c&gt;</h1>"), std::string::npos) << html;
    EXPECT_NE(html.find("<pre><code>if (a &lt; b &amp;&amp; c) {}\n```\n</code></pre>"),
              std::string::npos)
        << html;
}

TEST_F(PluginTest, PluginAcceleratorWinsOverFindSnippet) {
    Install("recording_ctrl_p.so", "print.so");
    OpenFrame();
    PressCtrlInEditor('P');
    ASSERT_TRUE(PumpUntil([&] { return Calls("print.so").size() == 1; }));
    EXPECT_EQ(frame_->SnippetFinder(), nullptr);
    // The menu still has the command.
    Command(ID_FIND_SNIPPET);
    ASSERT_NE(frame_->SnippetFinder(), nullptr);
    EXPECT_TRUE(frame_->SnippetFinder()->IsShown());
}
