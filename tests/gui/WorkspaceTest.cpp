#include "gui/GuiFixture.h"

#include "app/CorvaneFrame.h"
#include "app/Interface.h"
#include "browse/SnippetBrowser.h"
#include "clipboard/ClipRecorder.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"

#include <wx/aui/auibook.h>
#include <wx/button.h>
#include <wx/ffile.h>
#include <wx/filename.h>

namespace {

std::vector<wxString> Captions(const wxAuiNotebook* notebook) {
    std::vector<wxString> captions;
    for (size_t i = 0; i < notebook->GetPageCount(); ++i)
        captions.push_back(notebook->GetPageText(i));
    return captions;
}

// Opens a page the way the tree does, and returns the caption it got.
wxString Open(Interface* workspace, const wxString& title, const wxString& content,
              bool read_only = false) {
    wxString caption = title;
    wxString path;
    wxString text = content;
    wxString sid;
    workspace->OpenSnippetPage(caption, path, text, sid, read_only);
    return caption;
}

} // namespace

TEST_F(GuiTest, StartsWithOneNewSnippetPage) {
    OpenFrame();
    ASSERT_EQ(PageCount(), 1u);
    EXPECT_EQ(Caption(0), "New Snippet");
    EXPECT_EQ(Page(0)->kind, "new-snippet");
    EXPECT_EQ(Page(0)->path, "");
    EXPECT_EQ(Selection(), 0);
    ASSERT_NE(Editor(0), nullptr);
    EXPECT_EQ(Editor(0)->GetText(), "");
    EXPECT_EQ(Editor(0)->info.title, "New Snippet");
    EXPECT_FALSE(Editor(0)->GetReadOnly());
    EXPECT_EQ(Workspace()->CurrentEditor(), Editor(0));
}

TEST_F(GuiTest, NewPagesAreNumberedByTheCaptionsLeft) {
    OpenFrame();
    Command(wxID_NEW);
    Command(wxID_NEW);
    wxAuiNotebook* notebook = Workspace()->Notebook();
    EXPECT_EQ(Captions(notebook),
              (std::vector<wxString>{"New Snippet", "New Snippet 2", "New Snippet 3"}));
    EXPECT_EQ(Selection(), 2);
    EXPECT_EQ(Page(2)->kind, "new-snippet");
    // The editor keeps the title it was asked for; only the caption is numbered.
    EXPECT_EQ(Editor(2)->info.title, "New Snippet");

    // Counting, not the highest number, decides: with two captions left, the next is 3 again.
    ASSERT_TRUE(notebook->DeletePage(1));
    Command(wxID_NEW);
    EXPECT_EQ(Captions(notebook),
              (std::vector<wxString>{"New Snippet", "New Snippet 3", "New Snippet 3"}));
    EXPECT_EQ(Selection(), 2);
}

TEST_F(GuiTest, CaptionNumberingIsACaseSensitivePrefixTest) {
    OpenFrame();
    EXPECT_EQ(Open(Workspace(), "Sorting", "int a;"), "Sorting");
    // "Sorting" begins with "Sort", so a page titled "Sort" is the second of its kind.
    EXPECT_EQ(Open(Workspace(), "Sort", "int b;"), "Sort 2");
    EXPECT_EQ(Open(Workspace(), "sort", "int c;"), "sort");
    EXPECT_EQ(Captions(Workspace()->Notebook()),
              (std::vector<wxString>{"New Snippet", "Sorting", "Sort 2", "sort"}));
    // Pages with content are not new snippets.
    EXPECT_EQ(Page(1)->kind, "");
    EXPECT_EQ(Editor(2)->GetText(), "int b;");
    EXPECT_EQ(Selection(), 3);
}

TEST_F(GuiTest, CloudSnippetOpensReadOnlyOnlyWhenPublic) {
    OpenFrame();
    snippet_info info;
    info.sid = "41";
    info.title = "Mine";
    info.content = "void f();";
    Workspace()->OpenCloudSnippet(info);
    info.sid = "42";
    info.title = "Theirs";
    info.content = "void g();";
    info.is_public = true;
    Workspace()->OpenCloudSnippet(info);

    ASSERT_EQ(PageCount(), 3u);
    EXPECT_EQ(Caption(1), "Mine");
    EXPECT_EQ(Page(1)->kind, "");
    EXPECT_EQ(Editor(1)->info.sid, "41");
    EXPECT_EQ(Editor(1)->info.content, "void f();");
    EXPECT_EQ(Editor(1)->GetText(), "void f();");
    EXPECT_FALSE(Editor(1)->GetReadOnly());
    EXPECT_FALSE(Editor(1)->info.is_public);
    // The opened text is where editing starts: Undo cannot take it away.
    Workspace()->Notebook()->SetSelection(1);
    Command(wxID_UNDO);
    EXPECT_EQ(Editor(1)->GetText(), "void f();");
    Workspace()->Notebook()->SetSelection(2);

    EXPECT_EQ(Caption(2), "Theirs");
    EXPECT_EQ(Editor(2)->info.sid, "42");
    EXPECT_EQ(Editor(2)->GetText(), "void g();");
    EXPECT_TRUE(Editor(2)->GetReadOnly());
    EXPECT_TRUE(Editor(2)->info.is_public);
    EXPECT_EQ(Selection(), 2);
}

TEST_F(GuiTest, LocalFileOpensWithItsPath) {
    OpenFrame();
    ASSERT_TRUE(wxFileName::Mkdir("snippets/C++"));
    {
        wxFFile file("snippets/C++/swap.cpp", "w");
        ASSERT_TRUE(file.IsOpened());
        ASSERT_TRUE(file.Write("std::swap(a, b);\n"));
    }
    wxString title = "swap.cpp";
    wxString path = "snippets/C++/swap.cpp";
    wxString content, sid;
    Workspace()->OpenSnippetPage(title, path, content, sid, false);
    EXPECT_EQ(Page(1)->path, "snippets/C++/swap.cpp");
    EXPECT_EQ(Page(1)->kind, "");
    EXPECT_EQ(Editor(1)->GetText(), "std::swap(a, b);\n");
    EXPECT_FALSE(Editor(1)->GetReadOnly());
    Command(wxID_UNDO);
    EXPECT_EQ(Editor(1)->GetText(), "std::swap(a, b);\n");

    // A file that cannot be read leaves the page empty, silently.
    title = "gone.cpp";
    path = "snippets/C++/gone.cpp";
    Workspace()->OpenSnippetPage(title, path, content, sid, false);
    ASSERT_EQ(PageCount(), 3u);
    EXPECT_EQ(Editor(2)->GetText(), "");
    EXPECT_EQ(Page(2)->path, "snippets/C++/gone.cpp");
    EXPECT_TRUE(prompts_->History().empty());
}

TEST_F(GuiTest, TextWithANulSurvivesOpeningAndSaving) {
    OpenFrame();
    const char raw[] = "int a;\0int b; /* \xF0\x9F\x98\x80 */\n";
    const std::string bytes(raw, sizeof raw - 1);
    {
        wxFFile file("snippets/nul.c", "wb");
        ASSERT_TRUE(file.IsOpened());
        ASSERT_EQ(file.Write(bytes.data(), bytes.size()), bytes.size());
    }
    wxString title = "nul.c";
    wxString path = "snippets/nul.c";
    wxString content, sid;
    Workspace()->OpenSnippetPage(title, path, content, sid, false);
    EXPECT_EQ(Editor(1)->GetLength(), static_cast<int>(bytes.size()));

    Editor(1)->DocumentEnd();
    Editor(1)->AddText("x");
    Command(ID_SAVE);
    wxFFile file("snippets/nul.c", "rb");
    std::string saved(64, '\0');
    saved.resize(file.Read(saved.data(), saved.size()));
    EXPECT_EQ(saved, bytes + "x");
}

TEST_F(GuiTest, LeftColumnHoldsItsControlsBesideTheNotebook) {
    OpenFrame();
    Interface* workspace = Workspace();
    const auto button = [&](int id) { return dynamic_cast<wxButton*>(workspace->FindWindow(id)); };
    ASSERT_NE(button(Interface::ID_BROWSE_PUBLIC), nullptr);
    EXPECT_EQ(button(6002)->GetLabel(), "Browse Public Snippets");
    ASSERT_NE(button(6000), nullptr);
    EXPECT_EQ(button(6000)->GetLabel(), "Expand All");
    ASSERT_NE(button(6001), nullptr);
    EXPECT_EQ(button(6001)->GetLabel(), "Collapse All");

    // Id 5999 is shared by the clear button and the clipboard log itself.
    wxButton* clear = nullptr;
    wxWindow* log = nullptr;
    for (wxWindow* child : workspace->GetChildren()) {
        if (child->GetId() != 5999)
            continue;
        if (auto* b = dynamic_cast<wxButton*>(child))
            clear = b;
        else
            log = child;
    }
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(clear->GetLabel(), "Clear Clipboard Log");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log, workspace->ClipboardLog());
    ASSERT_NE(workspace->Tree(), nullptr);
    EXPECT_EQ(workspace->Tree()->GetParent(), workspace);
    EXPECT_EQ(workspace->Notebook()->GetParent(), workspace);

    // Top to bottom in one column, left of the notebook.
    const wxRect browse = button(6002)->GetRect();
    const wxRect expand = button(6000)->GetRect();
    const wxRect collapse = button(6001)->GetRect();
    const wxRect tree = workspace->Tree()->GetRect();
    const wxRect clear_rect = clear->GetRect();
    const wxRect log_rect = log->GetRect();
    const wxRect notebook = workspace->Notebook()->GetRect();
    EXPECT_LT(browse.GetBottom(), expand.GetTop());
    EXPECT_EQ(expand.GetTop(), collapse.GetTop());
    EXPECT_LT(expand.GetRight(), collapse.GetLeft());
    EXPECT_LT(expand.GetBottom(), tree.GetTop());
    EXPECT_LT(tree.GetBottom(), clear_rect.GetTop());
    EXPECT_LT(clear_rect.GetBottom(), log_rect.GetTop());
    for (const wxRect& item : {browse, collapse, tree, clear_rect, log_rect})
        EXPECT_LT(item.GetRight(), notebook.GetLeft());
    // The column is as wide as its 200-pixel buttons; the notebook takes the rest.
    EXPECT_EQ(browse.GetWidth(), 200);
    EXPECT_GT(notebook.GetWidth(), workspace->GetClientSize().GetWidth() / 2);

    // The spare height goes 3 : 2 to the tree and the log (the tree with its 3-pixel borders).
    EXPECT_GT(tree.GetHeight(), log_rect.GetHeight());
    EXPECT_NEAR(2.0 * (tree.GetHeight() + 6), 3.0 * log_rect.GetHeight(), 6.0);
}
