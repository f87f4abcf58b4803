#include "gui/CloudGuiTest.h"

#include "app/CorvaneFrame.h"
#include "browse/SharedSnippetsPage.h"
#include "browse/public_browser.h"
#include "browse/search_results.h"
#include "browse/search_results_tree.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"

#include <wx/aui/auibook.h>
#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/filename.h>
#include <wx/textctrl.h>

#include <unistd.h>

namespace {

using Strings = std::vector<wxString>;

class ShareTest : public CloudGuiTest {
protected:
    // Chooses "&Shared Snippets" and returns the selected page.
    SharedSnippetsPage* ShowShared() {
        Command(ID_SHARED_SNIPPETS);
        return dynamic_cast<SharedSnippetsPage*>(Page(static_cast<size_t>(Selection())));
    }

    // Selects a node of the left list by its labels (nothing for no labels) and presses the
    // arrow.
    void Share(SharedSnippetsPage* page, const std::vector<wxString>& path) {
        SnippetBrowser* left = page->Left();
        left->UnselectAll();
        if (!path.empty()) {
            wxTreeItemId node = left->GetRootItem();
            for (const wxString& label : path) {
                wxTreeItemIdValue cookie;
                wxTreeItemId child = left->GetFirstChild(node, cookie);
                while (child.IsOk() && left->GetItemText(child) != label)
                    child = left->GetNextChild(node, cookie);
                ASSERT_TRUE(child.IsOk()) << label;
                node = child;
            }
            left->SelectItem(node);
        }
        wxCommandEvent press(wxEVT_BUTTON, SharedSnippetsPage::ID_SHARE);
        press.SetEventObject(page->Arrow());
        page->Arrow()->ProcessWindowEvent(press);
    }

    static Strings Top(const wxTreeCtrl* tree) { return Labels(tree, tree->GetRootItem()); }
};

constexpr const char* kQuestion =
    "Are you sure you wish to share this snippet?\n\nThis action cannot be reversed.";

TEST_F(ShareTest, PageIsReusedOnlyWhileSomebodyIsLoggedIn) {
    const std::string ann = db_.AddUser("ann", "pw");
    wxFileName::Mkdir("snippets/Ruby");
    WriteFile("snippets/Ruby/hello", "puts 1\n");
    OpenFrame();

    SharedSnippetsPage* first = ShowShared();
    ASSERT_NE(first, nullptr);
    SharedSnippetsPage* second = ShowShared();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(PageCount(), 3u);
    EXPECT_EQ(Caption(1), "Shared Snippets");
    EXPECT_EQ(Caption(2), "Shared Snippets");
    EXPECT_EQ(first->kind, "manage-shared");
    EXPECT_EQ(Top(first->Left()), Strings{"Local"});
    EXPECT_TRUE(Top(first->Right()).empty());
    // The page's own editor is the one the frame's commands act on.
    EXPECT_EQ(Workspace()->CurrentEditor(), second->stc);

    // Logged in, the first page of its kind is selected instead of a new one.
    LogIn(ann);
    Workspace()->Notebook()->SetSelection(0);
    EXPECT_EQ(ShowShared(), first);
    EXPECT_EQ(PageCount(), 3u);

    // The arrow shares from the lists beside it, not from the most recently made page's.
    RecordStatements();
    prompts_->AnswerYesNo(true);
    Share(first, {"Local", "Ruby", "hello"});
    ASSERT_FALSE(statements_.empty());
    EXPECT_EQ(statements_[0], "INSERT INTO snippets(uid, title, language, content, public) "
                              "VALUES(" +
                                  ann + ", 'hello', 'Ruby', 'puts 1\\n', 1)");
}

TEST_F(ShareTest, SharingACloudSnippetMovesItAcrossButSearchWaitsForApproval) {
    const std::string ann = db_.AddUser("ann", "pw");
    const std::string sid = db_.AddSnippet(ann, "mine", "C", "int mine;");
    db_.AddSnippet(ann, "kept", "C", "int kept;");
    OpenFrame();
    LogIn(ann);
    SharedSnippetsPage* page = ShowShared();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Top(page->Left()), (Strings{"Local", "Private Snippets"}));
    EXPECT_EQ(Top(page->Right()), Strings{"Public Snippets"});
    RecordStatements();

    // No: nothing is sent and nothing rebuilt.
    prompts_->AnswerYesNo(false);
    Share(page, {"Private Snippets", "C", "mine"});
    EXPECT_TRUE(statements_.empty());
    EXPECT_TRUE(page->Left()->GetSelection().IsOk());

    prompts_->AnswerYesNo(true);
    Share(page, {"Private Snippets", "C", "mine"});
    ASSERT_EQ(prompts_->History().size(), 2u);
    EXPECT_EQ(prompts_->History()[1].message, kQuestion);
    EXPECT_EQ(prompts_->History()[1].caption, "Confirm");
    ASSERT_EQ(statements_.size(), 3u);
    EXPECT_EQ(statements_[0], "UPDATE snippets SET public = 1 WHERE sid = " + sid + " LIMIT 1");
    EXPECT_EQ(db_.Query("SELECT public, approved FROM snippets WHERE sid = " + sid),
              (TestDatabase::Rows{{"1", "0"}}));
    EXPECT_EQ(Labels(page->Left(), Node(page->Left(), {"Private Snippets", "C"})), Strings{"kept"});
    EXPECT_EQ(Labels(page->Right(), Node(page->Right(), {"Public Snippets", "C"})),
              Strings{"mine"});

    // Published but not approved: the search does not find it until approval.
    wxCommandEvent browse(wxEVT_BUTTON, Interface::ID_BROWSE_PUBLIC);
    Workspace()->ProcessWindowEvent(browse);
    auto* search = dynamic_cast<public_browser*>(Workspace()->Notebook()->GetPage(
        static_cast<size_t>(Workspace()->FindPage("public-browser"))));
    ASSERT_NE(search, nullptr);
    const auto press = [&] {
        search->TitleBox()->ChangeValue("mine");
        wxCommandEvent event(wxEVT_BUTTON, public_browser::ID_SEARCH);
        search->ProcessWindowEvent(event);
        auto* results = dynamic_cast<search_results*>(
            search->Results()->GetPage(static_cast<size_t>(search->Results()->GetSelection())));
        return Labels(results->Tree(), results->Tree()->GetRootItem());
    };
    EXPECT_TRUE(press().empty());
    db_.Exec("UPDATE snippets SET approved = 1 WHERE sid = " + sid);
    EXPECT_EQ(press(), Strings{"C"});
}

TEST_F(ShareTest, SharingALocalSnippetInsertsAPublicCopyAndKeepsTheFile) {
    const std::string ann = db_.AddUser("ann", "pw");
    wxFileName::Mkdir("snippets/Ruby");
    const std::string body = "puts 'it''s'\\n\r\n\xE2\x82\xAC\n";
    WriteFile("snippets/Ruby/hello", body);
    OpenFrame();
    LogIn(ann);
    SharedSnippetsPage* page = ShowShared();
    ASSERT_NE(page, nullptr);
    RecordStatements();

    prompts_->AnswerYesNo(true);
    Share(page, {"Local", "Ruby", "hello"});
    ASSERT_FALSE(statements_.empty());
    EXPECT_EQ(statements_[0], "INSERT INTO snippets(uid, title, language, content, public) "
                              "VALUES(" +
                                  ann +
                                  ", 'hello', 'Ruby', 'puts \\'it\\'\\'s\\'\\\\n\\r\\n"
                                  "\xE2\x82\xAC\\n', 1)");
    EXPECT_EQ(db_.Query("SELECT uid, title, language, content, public, approved FROM snippets"),
              (TestDatabase::Rows{{ann, "hello", "Ruby", body, "1", "0"}}));
    EXPECT_EQ(ReadFile("snippets/Ruby/hello"), body);
    EXPECT_EQ(Labels(page->Left(), Node(page->Left(), {"Local", "Ruby"})), Strings{"hello"});
    EXPECT_EQ(Labels(page->Right(), Node(page->Right(), {"Public Snippets", "Ruby"})),
              Strings{"hello"});
}

TEST_F(ShareTest, SharingWithoutAUserOrASnippetSendsNothingAndSaysWhy) {
    const std::string ann = db_.AddUser("ann", "pw");
    wxFileName::Mkdir("snippets/Ruby");
    WriteFile("snippets/Ruby/hello", "puts 1\n");
    WriteFile("snippets/Ruby/gone", "soon gone\n");
    ASSERT_EQ(::symlink("nowhere", "snippets/Ruby/broken"), 0);
    wxFileName::Mkdir("snippets/Empty");
    OpenFrame();
    SharedSnippetsPage* logged_out = ShowShared();
    ASSERT_NE(logged_out, nullptr);
    RecordStatements();

    prompts_->ExpectMessage();
    Share(logged_out, {"Local", "Ruby", "hello"});
    ASSERT_EQ(prompts_->History().size(), 1u);
    EXPECT_TRUE(prompts_->History()[0].message.Contains("Log in"));

    LogIn(ann);
    statements_.clear();
    Workspace()->Notebook()->DeletePage(1);
    SharedSnippetsPage* page = ShowShared();
    ASSERT_NE(page, nullptr);
    ::unlink("snippets/Ruby/gone");
    statements_.clear();
    // Nothing selected, a folder, an empty folder, the empty group, a dangling link, a file
    // removed since the list was built: each is refused with a message and no question.
    for (const auto& path : std::vector<std::vector<wxString>>{{},
                                                               {"Local", "Ruby"},
                                                               {"Local", "Empty"},
                                                               {"Private Snippets"},
                                                               {"Local", "Ruby", "broken"},
                                                               {"Local", "Ruby", "gone"}}) {
        prompts_->ExpectMessage();
        Share(page, path);
        ASSERT_EQ(prompts_->History().back().kind, ScriptedPrompts::Kind::Message);
        EXPECT_TRUE(prompts_->History().back().message.Contains("Select a snippet"));
    }
    EXPECT_TRUE(statements_.empty());
    EXPECT_TRUE(db_.Query("SELECT sid FROM snippets").empty());
}

TEST_F(ShareTest, LoginAndLogoutBringTheOpenPageInLineAndNothingOfAnotherUserIsShared) {
    const std::string ann = db_.AddUser("ann", "pw");
    const std::string bob = db_.AddUser("bob", "pw");
    db_.AddSnippet(ann, "secret", "C", "ann's secret");
    db_.AddSnippet(bob, "bobs", "Go", "bob's own");
    OpenFrame();
    LogIn(ann);
    SharedSnippetsPage* page = ShowShared();
    ASSERT_NE(page, nullptr);
    // A page outside the notebook, which nothing keeps in line: its lists stay ann's.
    auto* stray = new SharedSnippetsPage(Workspace(), Workspace());
    DoubleClick(page->Left(), Node(page->Left(), {"Private Snippets", "C", "secret"}));
    EXPECT_EQ(page->stc->GetText(), "ann's secret");

    prompts_->ExpectMessage();
    Command(ID_LOGOUT);
    EXPECT_EQ(Top(page->Left()), Strings{"Local"});
    EXPECT_EQ(page->stc->GetText(), "");
    LogIn(bob);
    EXPECT_EQ(ShowShared(), page);
    EXPECT_EQ(Labels(page->Left(), Node(page->Left(), {"Private Snippets"})), Strings{"Go"});

    // ann's row, still on the stray page, is neither shown nor published under bob.
    RecordStatements();
    DoubleClick(stray->Left(), Node(stray->Left(), {"Private Snippets", "C", "secret"}));
    prompts_->ExpectMessage();
    Share(stray, {"Private Snippets", "C", "secret"});
    EXPECT_TRUE(statements_.empty());
    EXPECT_EQ(page->stc->GetText(), "");
    stray->Destroy();
}

TEST_F(ShareTest, ShareThatFailsSaysWhyAndKeepsTheLists) {
    const std::string ann = db_.AddUser("ann", "pw");
    db_.AddSnippet(ann, "mine", "C", "int mine;");
    const std::string language(70, 'L');
    wxFileName::Mkdir("snippets/" + language);
    WriteFile("snippets/" + language + "/long", "text");
    OpenFrame();
    LogIn(ann);
    SharedSnippetsPage* page = ShowShared();
    ASSERT_NE(page, nullptr);

    // A language longer than the cloud's column; then the server dies while the question is open.
    prompts_->AnswerYesNo(true);
    prompts_->ExpectMessage();
    Share(page, {"Local", language, "long"});
    prompts_->OnNextQuestion([&] { db_.KillServer(); });
    prompts_->AnswerYesNo(true);
    prompts_->ExpectMessage();
    Share(page, {"Private Snippets", "C", "mine"});
    ASSERT_EQ(prompts_->History().size(), 4u);
    EXPECT_TRUE(prompts_->History()[1].message.StartsWith(
        "The snippet was not shared: its title or language is longer than the cloud accepts."));
    EXPECT_EQ(prompts_->History()[3].message,
              "The snippet was not shared: the cloud cannot be reached. Please try again later.");
    EXPECT_EQ(Labels(page->Left(), Node(page->Left(), {"Private Snippets", "C"})), Strings{"mine"});
    db_.StartServer();
    EXPECT_EQ(db_.Query("SELECT public FROM snippets"), TestDatabase::Rows{{"0"}});
}

} // namespace
