#include "gui/GuiFixture.h"

#include "app/Interface.h"
#include "app/StartScript.h"
#include "browse/SnippetBrowser.h"
#include "editor/snippet_stc.h"

#include <wx/filename.h>

#include <filesystem>
#include <fstream>

namespace {

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

} // namespace

TEST_F(GuiTest, StartScriptOpensFilesAndExpandsTheTree) {
    std::filesystem::create_directories("snippets/C/deep");
    Write("snippets/C/deep/inner.c", "int inner;");
    const std::string outside = wxFileName::GetCwd().utf8_string() + "/page.txt";
    Write(outside, "int page = 1;\n");
    Write("steps", "\nopen " + outside + "\nnot a step\nexpand-all\nopen\n");
    OpenFrame();
    const size_t pages = PageCount();

    EXPECT_EQ(start_script::Run("steps", *Workspace()), 2u);
    ASSERT_EQ(PageCount(), pages + 1);
    EXPECT_EQ(Caption(pages), "page.txt");
    EXPECT_EQ(Editor(pages)->GetText(), "int page = 1;\n");
    // Every branch is open, down to the deepest.
    SnippetBrowser* tree = Workspace()->Tree();
    wxTreeItemIdValue cookie;
    const wxTreeItemId local = tree->GetFirstChild(tree->GetRootItem(), cookie);
    const wxTreeItemId language = tree->GetFirstChild(local, cookie);
    const wxTreeItemId deep = tree->GetFirstChild(language, cookie);
    EXPECT_EQ(tree->GetItemText(deep), "deep");
    EXPECT_TRUE(tree->IsExpanded(local) && tree->IsExpanded(language) && tree->IsExpanded(deep));

    // A file that cannot be read takes no step.
    EXPECT_EQ(start_script::Run("no such steps", *Workspace()), 0u);
    EXPECT_EQ(PageCount(), pages + 1);
}
