#include "gui/CloudGuiTest.h"

#include "app/CorvaneFrame.h"
#include "browse/FindSnippetWindow.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"

#include <wx/dataview.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <sys/stat.h>

#include <filesystem>

namespace {

using Strings = std::vector<wxString>;

class FindSnippetTest : public CloudGuiTest {
protected:
    void SetUp() override {
        CloudGuiTest::SetUp();
        // No plug-in of an earlier test may take Ctrl-P.
        std::filesystem::remove_all("plugins");
    }

    FindSnippetWindow* Finder() const { return frame_->SnippetFinder(); }

    // Gives the keyboard to a window and waits until it has it.
    void Focus(wxWindow* window) {
        frame_->Raise();
        window->SetFocus();
        ASSERT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == window; }));
    }
    // Ctrl-P from the keyboard, and the Find Snippet window with the keyboard in its field.
    void PressCtrlP() {
        ASSERT_TRUE(keyboard_.Char('P', wxMOD_CONTROL));
        ASSERT_TRUE(PumpUntil([&] {
            return Finder() != nullptr && Finder()->IsShown() &&
                   wxWindow::FindFocus() == Finder()->QueryField();
        }));
    }
    void Press(int key) {
        ASSERT_TRUE(keyboard_.Char(key));
        Pump();
    }
    // Types the query and waits until the list shows everything found for it.
    void Type(const wxString& text) {
        ASSERT_NE(Finder(), nullptr);
        const wxString expected = Finder()->QueryField()->GetValue() + text;
        ASSERT_TRUE(keyboard_.Text(text.utf8_str()));
        ASSERT_TRUE(PumpUntil([&] {
            return Finder()->QueryField()->GetValue() == expected &&
                   Finder()->ShownGeneration() == Finder()->Generation() &&
                   Finder()->ShowsComplete();
        })) << Finder()->QueryField()->GetValue();
    }
    // The list as shown: where, language, title and line of each row.
    Strings Shown() const {
        Strings shown;
        if (Finder() == nullptr)
            return shown;
        const wxDataViewListCtrl* list = Finder()->ResultList();
        for (int row = 0; row < list->GetItemCount(); ++row) {
            wxString text;
            for (unsigned column = 0; column < 4; ++column)
                text += (column ? "|" : "") + list->GetTextValue(row, column);
            shown.push_back(text);
        }
        return shown;
    }
    int SelectedRow() const { return Finder()->ResultList()->GetSelectedRow(); }

    wxUIActionSimulator keyboard_;
};

} // namespace

TEST_F(FindSnippetTest, TypedQueryOpensWithEnterTheSamePageAsTheTree) {
    const std::string uid = db_.AddUser("ann", "pw");
    const std::string sid =
        db_.AddSnippet(uid, "quick sort", "C", "void quick_sort(int* a);\n", true, true);
    db_.AddSnippet(uid, "helpers", "C", "/* a <quick> & sort */\n");
    ASSERT_EQ(::mkdir("snippets/C", 0777), 0);
    WriteFile("snippets/C/quick sorting", "// local\n");
    OpenFrame();
    LogIn(uid);
    snippet_stc* editor = Editor(0);
    Focus(editor);

    ASSERT_NO_FATAL_FAILURE(PressCtrlP());
    Type("quick sort");
    // The editor did not get the key; titles rank before contents, shorter titles first, and a
    // content match shows its line with the match in bold.
    EXPECT_EQ(editor->GetText(), "");
    EXPECT_EQ(Shown(), (Strings{"My Cloud|C|quick sort|", "Local|C|quick sorting|",
                                "My Cloud|C|helpers|/* a &lt;<b>quick</b>&gt; &amp; sort */"}));
    EXPECT_EQ(Finder()->StatusLine()->GetLabel(), "");
    // Up and Down move through the rows while the field keeps the keyboard.
    EXPECT_EQ(SelectedRow(), 0);
    Press(WXK_DOWN);
    Press(WXK_DOWN);
    EXPECT_EQ(SelectedRow(), 2);
    Press(WXK_UP);
    Press(WXK_UP);
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(wxWindow::FindFocus(), Finder()->QueryField());

    // Enter opens the cloud snippet with the tree's statement, read-only as it is public.
    RecordStatements();
    Press(WXK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return PageCount() == 2; }));
    EXPECT_FALSE(Finder()->IsShown());
    const std::vector<std::string> opened = statements_;
    statements_.clear();
    DoubleClick({"My Cloud", "C", "quick sort"});
    ASSERT_EQ(PageCount(), 3u);
    EXPECT_EQ(opened, statements_);
    EXPECT_EQ(opened, std::vector<std::string>{"SELECT title, content, sid, public FROM snippets "
                                               "WHERE sid = " +
                                               sid + " LIMIT 1"});
    EXPECT_EQ(Caption(1), "quick sort");
    EXPECT_EQ(Caption(2), "quick sort 2");
    for (size_t page : {1, 2}) {
        SCOPED_TRACE(page);
        EXPECT_EQ(Editor(page)->GetText(), "void quick_sort(int* a);\n");
        EXPECT_EQ(Editor(page)->info.sid, wxString(sid));
        EXPECT_TRUE(Editor(page)->GetReadOnly());
        EXPECT_EQ(Page(page)->path, "");
    }

    // Ctrl-P again: the last query, selected, searched again; the local file opens as the
    // tree opens it, with a double click this time.
    Focus(Editor(2));
    ASSERT_NO_FATAL_FAILURE(PressCtrlP());
    EXPECT_EQ(Finder()->QueryField()->GetValue(), "quick sort");
    EXPECT_EQ(Finder()->QueryField()->GetStringSelection(), "quick sort");
    ASSERT_TRUE(PumpUntil([&] { return Finder()->ShowsComplete() && Shown().size() == 3; }));
    wxDataViewEvent activated(wxEVT_DATAVIEW_ITEM_ACTIVATED, Finder()->ResultList(),
                              Finder()->ResultList()->RowToItem(1));
    Finder()->ResultList()->ProcessWindowEvent(activated);
    ASSERT_EQ(PageCount(), 4u);
    DoubleClick({"Local", "C", "quick sorting"});
    ASSERT_EQ(PageCount(), 5u);
    for (size_t page : {3, 4}) {
        SCOPED_TRACE(page);
        EXPECT_EQ(Editor(page)->GetText(), "// local\n");
        EXPECT_EQ(Page(page)->path, "./snippets/C/quick sorting");
        EXPECT_FALSE(Editor(page)->GetReadOnly());
    }

    // Esc closes the window and gives the keyboard back.
    Focus(Editor(4));
    ASSERT_NO_FATAL_FAILURE(PressCtrlP());
    Press(WXK_ESCAPE);
    EXPECT_FALSE(Finder()->IsShown());
    EXPECT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == Editor(4); }));
    EXPECT_EQ(PageCount(), 5u);
}

TEST_F(FindSnippetTest, LostConnectionShowsLocalResultsAndOneLine) {
    const std::string uid = db_.AddUser("ann", "pw");
    db_.AddSnippet(uid, "sort in the cloud", "C", "x");
    WriteFile("snippets/sort here", "x");
    OpenFrame();
    LogIn(uid);
    Focus(Editor(0));
    ASSERT_NO_FATAL_FAILURE(PressCtrlP());
    Type("sort");
    EXPECT_EQ(Shown(), (Strings{"Local|sort here|sort here|", "My Cloud|C|sort in the cloud|"}));

    // The server is killed: every keystroke still shows the local rows and one line, no message.
    db_.KillServer();
    Type(" ");
    EXPECT_EQ(Shown(), Strings{"Local|sort here|sort here|"});
    EXPECT_TRUE(Finder()->StatusLine()->GetLabel().StartsWith("The cloud could not be searched"))
        << Finder()->StatusLine()->GetLabel();
    EXPECT_TRUE(prompts_->History().empty());

    // Back again, and the cloud is found again.
    db_.StartServer();
    Type("s");
    EXPECT_EQ(Shown().size(), 2u);
    EXPECT_EQ(Finder()->StatusLine()->GetLabel(), "");

    // Logged out, the local store alone is searched.
    Workspace()->SetCurrentUserId("");
    Type("o");
    EXPECT_EQ(Shown(), Strings{"Local|sort here|sort here|"});
    EXPECT_EQ(Finder()->StatusLine()->GetLabel(), "");
}
