#include "gui/CloudGuiTest.h"

#include "app/TextCodec.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"

#include <wx/filename.h>

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <set>
#include <tuple>
#include <utility>

namespace {

using Strings = std::vector<wxString>;

// True when no node that has children is expanded.
bool AllCollapsed(const wxTreeCtrl* tree, const wxTreeItemId& node) {
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = tree->GetFirstChild(node, cookie); child.IsOk();
         child = tree->GetNextChild(node, cookie)) {
        if (tree->ItemHasChildren(child) && (tree->IsExpanded(child) || !AllCollapsed(tree, child)))
            return false;
    }
    return true;
}

Strings Sorted(Strings labels) {
    std::sort(labels.begin(), labels.end());
    return labels;
}

bool Exists(const char* path) {
    struct stat info {};
    return ::stat(path, &info) == 0;
}

} // namespace

TEST_F(CloudGuiTest, ListsAreSentAsWrittenForEveryMode) {
    const std::string uid = db_.AddUser("ann", "pw");
    const std::string other = db_.AddUser("bob", "pw");
    db_.AddSnippet(uid, "mine", "C", "int a;", false);
    const std::string published = db_.AddSnippet(uid, "shown", "Go", "package shown", true, true);
    db_.AddFavourite(uid, db_.AddSnippet(other, "liked", "Lua", "print(1)", true, true));
    OpenFrame();
    RecordStatements();

    LogIn(uid);
    EXPECT_EQ(
        statements_,
        (std::vector<std::string>{
            "SELECT language, title, sid FROM snippets WHERE uid = " + uid + " ORDER BY language",
            "SELECT snippets.language, snippets.title, snippets.sid FROM snippets, "
            "favourites WHERE favourites.sid = snippets.sid AND favourites.uid = " +
                uid + " ORDER BY snippets.language"}));
    EXPECT_EQ(Labels({}), (Strings{"Local", "My Cloud", "Favourites"}));
    EXPECT_EQ(Labels({"My Cloud"}), (Strings{"C", "Go"}));
    EXPECT_EQ(Labels({"Favourites", "Lua"}), Strings{"liked"});

    // The sharing page's two lists: the private one with the local store, the public one alone.
    statements_.clear();
    auto* private_list = new SnippetBrowser(Workspace(), Workspace(), SnippetBrowser::kPrivateList);
    EXPECT_EQ(statements_, std::vector<std::string>{"SELECT language, title, sid FROM snippets "
                                                    "WHERE uid = " +
                                                    uid + " AND public = 0 ORDER BY language"});
    EXPECT_EQ(Labels(private_list, private_list->GetRootItem()),
              (Strings{"Local", "Private Snippets"}));
    EXPECT_EQ(Labels(private_list, Node(private_list, {"Private Snippets"})), Strings{"C"});

    statements_.clear();
    auto* public_list = new SnippetBrowser(Workspace(), Workspace(), SnippetBrowser::kPublicList);
    EXPECT_EQ(statements_, std::vector<std::string>{"SELECT language, title, sid FROM snippets "
                                                    "WHERE uid = " +
                                                    uid + " AND public = 1 ORDER BY language"});
    EXPECT_EQ(Labels(public_list, public_list->GetRootItem()), Strings{"Public Snippets"});

    // A list shows the snippet in the page's own editor, read-only, instead of opening a page.
    statements_.clear();
    DoubleClick(public_list, Node(public_list, {"Public Snippets", "Go", "shown"}));
    EXPECT_EQ(statements_, std::vector<std::string>{"SELECT title, content, sid, public FROM "
                                                    "snippets WHERE sid = " +
                                                    published + " LIMIT 1"});
    EXPECT_EQ(PageCount(), 1u);
    EXPECT_EQ(Editor(0)->GetText(), "package shown");
    EXPECT_TRUE(Editor(0)->GetReadOnly());

    private_list->Destroy();
    public_list->Destroy();
}

TEST_F(CloudGuiTest, CloudSnippetOpensReadOnlyOnlyWhenPublic) {
    const std::string uid = db_.AddUser("ann", "pw");
    const std::string hidden = db_.AddSnippet(uid, "hidden", "C", "int a;\n");
    const std::string shown = db_.AddSnippet(uid, "shown", "C", "int b;\n", true, true);
    OpenFrame();
    LogIn(uid);
    RecordStatements();

    DoubleClick({"My Cloud", "C", "hidden"});
    EXPECT_EQ(statements_, std::vector<std::string>{
                               "SELECT title, content, sid, public FROM snippets WHERE sid = " +
                               hidden + " LIMIT 1"});
    ASSERT_EQ(PageCount(), 2u);
    EXPECT_EQ(Selection(), 1);
    EXPECT_EQ(Caption(1), "hidden");
    EXPECT_EQ(Editor(1)->GetText(), "int a;\n");
    EXPECT_EQ(Editor(1)->info.sid, wxString(hidden));
    EXPECT_FALSE(Editor(1)->GetReadOnly());
    EXPECT_EQ(Page(1)->kind, "");
    EXPECT_EQ(Page(1)->path, "");

    DoubleClick({"My Cloud", "C", "shown"});
    ASSERT_EQ(PageCount(), 3u);
    EXPECT_EQ(Editor(2)->GetText(), "int b;\n");
    EXPECT_TRUE(Editor(2)->GetReadOnly());
    EXPECT_TRUE(Editor(2)->info.is_public);

    // A row deleted since the tree was built opens nothing.
    db_.Exec("DELETE FROM snippets WHERE sid = " + hidden);
    DoubleClick({"My Cloud", "C", "hidden"});
    EXPECT_EQ(PageCount(), 3u);
}

TEST_F(CloudGuiTest, RowsGroupIntoOneLanguageNodePerRun) {
    const std::string uid = db_.AddUser("ann", "pw");
    const std::string other = db_.AddUser("bob", "pw");
    db_.AddSnippet(uid, "one", "C", "1");
    db_.AddSnippet(uid, "go", "Go", "2");
    db_.AddSnippet(uid, "two", "C", "3");
    // A row without a language sorts first and hangs directly under the group.
    db_.AddSnippet(uid, "loose", std::nullopt, "4");
    db_.AddFavourite(uid, db_.AddSnippet(other, "f1", "Go", "5", true, true));
    db_.AddFavourite(uid, db_.AddSnippet(other, "f2", "Go", "6", true, true));
    OpenFrame();
    LogIn(uid);

    EXPECT_EQ(Labels({"My Cloud"}), (Strings{"loose", "C", "Go"}));
    // Rows of one language come in no particular order.
    EXPECT_EQ(Sorted(Labels({"My Cloud", "C"})), (Strings{"one", "two"}));
    EXPECT_EQ(Labels({"My Cloud", "Go"}), Strings{"go"});
    EXPECT_EQ(Labels({"Favourites"}), Strings{"Go"});
    EXPECT_EQ(Sorted(Labels({"Favourites", "Go"})), (Strings{"f1", "f2"}));
}

TEST_F(CloudGuiTest, LanguagesEqualButForCaseGroupByRunNotByName) {
    const std::string uid = db_.AddUser("ann", "pw");
    // The schema sorts languages without regard to case, so the spellings of one language come
    // together, in the order of their rows.
    for (const char* language : {"C", "Go", "c", "C"})
        db_.AddSnippet(uid, std::string("in ") + language, language, "x");
    // The tree's own statement, to see the order in which its rows arrive.
    const TestDatabase::Rows rows = db_.Query(
        "SELECT language, title, sid FROM snippets WHERE uid = " + uid + " ORDER BY language");
    ASSERT_EQ(rows.size(), 4u);
    ASSERT_TRUE(rows[0][0] == "C" && rows[1][0] == "c" && rows[2][0] == "C" && rows[3][0] == "Go")
        << "the server did not interleave the spellings";
    OpenFrame();
    LogIn(uid);

    // Each run of exactly equal languages is a node of its own, so "C" shows twice.
    EXPECT_EQ(Labels({"My Cloud"}), (Strings{"C", "c", "C", "Go"}));
    const wxTreeItemId group = Node({"My Cloud"});
    wxTreeItemIdValue cookie;
    Strings titles;
    for (wxTreeItemId run = Tree()->GetFirstChild(group, cookie); run.IsOk();
         run = Tree()->GetNextChild(group, cookie)) {
        const Strings below = Labels(Tree(), run);
        EXPECT_EQ(below.size(), 1u);
        titles.insert(titles.end(), below.begin(), below.end());
    }
    EXPECT_EQ(titles, (Strings{"in C", "in c", "in C", "in Go"}));
}

TEST_F(CloudGuiTest, EqualTitlesOpenTheirOwnRows) {
    const std::string uid = db_.AddUser("ann", "pw");
    const std::string first = db_.AddSnippet(uid, "Dup", "C", "first body");
    const std::string second = db_.AddSnippet(uid, "Dup", "C", "second body");
    OpenFrame();
    LogIn(uid);
    const wxTreeItemId language = Node({"My Cloud", "C"});
    ASSERT_EQ(Labels(Tree(), language), (Strings{"Dup", "Dup"}));

    // Each node opens its own row, whichever order the rows came in.
    wxTreeItemIdValue cookie;
    const wxTreeItemId one = Tree()->GetFirstChild(language, cookie);
    const wxTreeItemId two = Tree()->GetNextChild(language, cookie);
    DoubleClick(Tree(), one);
    const wxString sid_of_two_expected = Editor(1)->info.sid == first ? second : first;
    DoubleClick(Tree(), two);
    ASSERT_EQ(PageCount(), 3u);
    EXPECT_EQ(Editor(2)->info.sid, sid_of_two_expected);
    EXPECT_EQ(Tree()->SelectedSid(), sid_of_two_expected);
    const std::set<std::pair<wxString, wxString>> opened = {
        {Editor(1)->info.sid, Editor(1)->GetText()}, {Editor(2)->info.sid, Editor(2)->GetText()}};
    EXPECT_EQ(opened, (std::set<std::pair<wxString, wxString>>{{first, "first body"},
                                                               {second, "second body"}}));
}

TEST_F(CloudGuiTest, CloudBranchesNeedSomebodyLoggedIn) {
    const std::string uid = db_.AddUser("ann", "pw");
    OpenFrame();
    EXPECT_EQ(Labels({}), Strings{"Local"});

    // Logged in without snippets or favourites: both groups, childless; opening them, or the
    // empty store, does nothing.
    LogIn(uid);
    EXPECT_EQ(Labels({}), (Strings{"Local", "My Cloud", "Favourites"}));
    RecordStatements();
    DoubleClick({"My Cloud"});
    DoubleClick({"Favourites"});
    DoubleClick({"Local"});
    EXPECT_TRUE(statements_.empty());
    EXPECT_EQ(PageCount(), 1u);

    Workspace()->SetCurrentUserId("");
    Tree()->LoadTree();
    EXPECT_EQ(Labels({}), Strings{"Local"});
}

TEST_F(CloudGuiTest, RebuildCollapsesAndDoubleClickTogglesBranches) {
    const std::string uid = db_.AddUser("ann", "pw");
    db_.AddSnippet(uid, "a", "C", "1");
    db_.AddFavourite(uid, db_.AddSnippet(uid, "b", "Go", "2"));
    wxFileName::Mkdir("snippets/Shell/Batch", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    WriteFile("snippets/Shell/Batch/run", "echo");
    OpenFrame();
    LogIn(uid);

    const wxTreeItemId language = Node({"My Cloud", "C"});
    DoubleClick(Tree(), language);
    EXPECT_TRUE(Tree()->IsExpanded(language));
    DoubleClick(Tree(), language);
    EXPECT_FALSE(Tree()->IsExpanded(language));
    EXPECT_EQ(PageCount(), 1u);

    Tree()->ExpandAll();
    ASSERT_FALSE(AllCollapsed(Tree(), Tree()->GetRootItem()));
    Tree()->LoadTree();
    EXPECT_TRUE(AllCollapsed(Tree(), Tree()->GetRootItem()));
    EXPECT_FALSE(Tree()->GetSelection().IsOk());

    // With nothing selected (a double click on the tree's empty area) nothing happens.
    wxMouseEvent click(wxEVT_LEFT_DCLICK);
    click.SetEventObject(Tree());
    Tree()->ProcessWindowEvent(click);
    EXPECT_EQ(Labels({}), (Strings{"Local", "My Cloud", "Favourites"}));
    EXPECT_TRUE(Tree()->IsVisible(Node({"My Cloud"})));
    EXPECT_EQ(PageCount(), 1u);
}

TEST_F(CloudGuiTest, LocalStoreShowsAsWalkedAndOpensItsFiles) {
    wxFileName::Mkdir("snippets/Ruby");
    WriteFile("snippets/Ruby/hello", "puts 'hello'\n");
    wxFileName::Mkdir("snippets/Shell/Batch", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    WriteFile("snippets/Shell/Batch/run", "echo run");
    WriteFile("snippets/notes", "at the root");
    wxFileName::Mkdir("snippets/Empty");
    const std::string raw_name = "caf\xE9";
    WriteFile("snippets/" + raw_name, "latin1 name");
    OpenFrame();

    Strings top = Labels({"Local"});
    std::sort(top.begin(), top.end());
    const wxString replaced = wxString::FromUTF8("caf\xEF\xBF\xBD");
    EXPECT_EQ(top, (Strings{"Empty", "Ruby", "Shell", replaced, "notes"}));
    EXPECT_EQ(Labels({"Local", "Ruby"}), Strings{"hello"});
    EXPECT_EQ(Labels({"Local", "Shell", "Batch"}), Strings{"run"});
    EXPECT_TRUE(Labels({"Local", "Empty"}).empty());
    EXPECT_EQ(Tree()->LocalPath(Node({"Local", "Shell", "Batch", "run"})),
              "./snippets/Shell/Batch/run");

    DoubleClick({"Local", "Shell", "Batch", "run"});
    ASSERT_EQ(PageCount(), 2u);
    EXPECT_EQ(Caption(1), "run");
    EXPECT_EQ(Page(1)->path, "./snippets/Shell/Batch/run");
    EXPECT_EQ(Page(1)->kind, "");
    EXPECT_EQ(Editor(1)->GetText(), "echo run");
    EXPECT_FALSE(Editor(1)->GetReadOnly());

    // The popup's Open does what a double click does.
    PopupCommand({"Local", "notes"}, SnippetBrowser::ID_OPEN);
    ASSERT_EQ(PageCount(), 3u);
    EXPECT_EQ(Editor(2)->GetText(), "at the root");

    // A name that is not UTF-8 shows replaced but opens the file it names.
    DoubleClick({"Local", replaced});
    ASSERT_EQ(PageCount(), 4u);
    EXPECT_EQ(Editor(3)->GetText(), "latin1 name");
    EXPECT_EQ(text::ToPathBytes(Page(3)->path), "./snippets/" + raw_name);
    Tree()->SelectItem(Node({"Local", replaced}));
    const snippet_info record = Tree()->ReadSelectedLocal();
    EXPECT_EQ(record.content, "latin1 name");
    EXPECT_EQ(record.language, replaced);
}

TEST_F(CloudGuiTest, HostileStoreEntriesNeitherHangTheTreeNorOpen) {
    // Links back into their own directory and a pipe: the tree is built at start-up, and a
    // pipe opened for reading waits for a writer that never comes.
    wxFileName::Mkdir("snippets/C");
    WriteFile("snippets/C/main", "int main;");
    ASSERT_EQ(::symlink(".", "snippets/C/a"), 0);
    ASSERT_EQ(::symlink(".", "snippets/C/b"), 0);
    ASSERT_EQ(::mkfifo("snippets/C/pipe", 0666), 0);
    OpenFrame();
    EXPECT_EQ(Sorted(Labels({"Local", "C"})), (Strings{"a", "b", "main", "pipe"}));
    EXPECT_FALSE(Tree()->ItemHasChildren(Node({"Local", "C", "a"})));

    prompts_->ExpectMessage();
    DoubleClick({"Local", "C", "pipe"});
    ASSERT_EQ(prompts_->History().size(), 1u);
    EXPECT_TRUE(prompts_->History()[0].message.Contains("not a regular file"));
    EXPECT_EQ(PageCount(), 1u);

    // A link back into the directory is a directory all the same: it opens as an empty page.
    DoubleClick({"Local", "C", "a"});
    EXPECT_EQ(PageCount(), 2u);
}

TEST_F(CloudGuiTest, PopupDeleteAsksThenRemovesFileOwnSnippetOrFavourite) {
    const std::string uid = db_.AddUser("ann", "pw");
    const std::string other = db_.AddUser("bob", "pw");
    const std::string mine = db_.AddSnippet(uid, "mine", "C", "1");
    const std::string liked = db_.AddSnippet(other, "liked", "Go", "2", true, true);
    db_.AddFavourite(uid, liked);
    wxFileName::Mkdir("snippets/Ruby");
    WriteFile("snippets/Ruby/hello", "puts 1");
    OpenFrame();
    LogIn(uid);
    RecordStatements();

    prompts_->AnswerYesNo(false);
    PopupCommand({"Local", "Ruby", "hello"}, SnippetBrowser::ID_DELETE);
    ASSERT_EQ(prompts_->History().size(), 1u);
    EXPECT_EQ(prompts_->History()[0].caption, "Confirm");
    EXPECT_TRUE(prompts_->History()[0].message.Contains("hello"));
    EXPECT_TRUE(Exists("snippets/Ruby/hello"));

    prompts_->AnswerYesNo(true);
    PopupCommand({"Local", "Ruby", "hello"}, SnippetBrowser::ID_DELETE);
    EXPECT_FALSE(Exists("snippets/Ruby/hello"));
    EXPECT_TRUE(Labels({"Local", "Ruby"}).empty());
    // The now empty directory is a leaf and goes the same way.
    prompts_->AnswerYesNo(true);
    PopupCommand({"Local", "Ruby"}, SnippetBrowser::ID_DELETE);
    EXPECT_FALSE(Exists("snippets/Ruby"));

    Tree()->ExpandAll();
    statements_.clear();
    prompts_->AnswerYesNo(true);
    PopupCommand({"My Cloud", "C", "mine"}, SnippetBrowser::ID_DELETE);
    ASSERT_FALSE(statements_.empty());
    EXPECT_EQ(statements_.front(),
              "DELETE FROM snippets WHERE sid = " + mine + " AND uid = " + uid + " LIMIT 1");
    EXPECT_TRUE(db_.Query("SELECT sid FROM snippets WHERE sid = " + mine).empty());
    EXPECT_TRUE(Labels({"My Cloud"}).empty());
    EXPECT_TRUE(AllCollapsed(Tree(), Tree()->GetRootItem()));

    statements_.clear();
    prompts_->AnswerYesNo(true);
    PopupCommand({"Favourites", "Go", "liked"}, SnippetBrowser::ID_DELETE);
    ASSERT_FALSE(statements_.empty());
    EXPECT_EQ(statements_.front(),
              "DELETE FROM favourites WHERE uid = " + uid + " AND sid = " + liked + " LIMIT 1");
    EXPECT_TRUE(db_.Query("SELECT sid FROM favourites").empty());
    EXPECT_EQ(db_.Query("SELECT title FROM snippets WHERE sid = " + liked),
              TestDatabase::Rows{{"liked"}});
    EXPECT_TRUE(Labels({"Favourites"}).empty());
}

TEST_F(CloudGuiTest, DeclinedDeletesKeepTheRowsAndNoDeleteTouchesAnotherUsersRows) {
    const std::string ann = db_.AddUser("ann", "pw");
    const std::string bob = db_.AddUser("bob", "pw");
    const std::string mine = db_.AddSnippet(ann, "mine", "C", "1");
    const std::string liked = db_.AddSnippet(bob, "liked", "Go", "2", true, true);
    db_.AddFavourite(ann, liked);
    db_.AddFavourite(bob, liked);
    OpenFrame();
    LogIn(ann);
    const auto rows = [this] {
        return std::make_pair(db_.Query("SELECT sid, uid FROM snippets ORDER BY sid"),
                              db_.Query("SELECT uid, sid FROM favourites ORDER BY uid"));
    };
    const auto before = rows();

    for (const auto& path : {std::initializer_list<wxString>{"My Cloud", "C", "mine"},
                             std::initializer_list<wxString>{"Favourites", "Go", "liked"}}) {
        Tree()->ExpandAll();
        prompts_->AnswerYesNo(false);
        PopupCommand(path, SnippetBrowser::ID_DELETE);
        EXPECT_EQ(rows(), before);
        EXPECT_TRUE(Node(path).IsOk());
    }
    EXPECT_EQ(prompts_->History().size(), 2u);

    // The snippet ann's tree shows has gone to bob since: her delete leaves it to him.
    db_.Exec("UPDATE snippets SET uid = " + bob + " WHERE sid = " + mine);
    prompts_->AnswerYesNo(true);
    PopupCommand({"My Cloud", "C", "mine"}, SnippetBrowser::ID_DELETE);
    EXPECT_EQ(db_.Query("SELECT uid FROM snippets WHERE sid = " + mine), TestDatabase::Rows{{bob}});
    // Ann's favourite goes; bob's of the same snippet stays.
    Tree()->ExpandAll();
    prompts_->AnswerYesNo(true);
    PopupCommand({"Favourites", "Go", "liked"}, SnippetBrowser::ID_DELETE);
    EXPECT_EQ(db_.Query("SELECT uid FROM favourites"), TestDatabase::Rows{{bob}});
    EXPECT_EQ(db_.Query("SELECT uid FROM snippets WHERE sid = " + liked),
              TestDatabase::Rows{{bob}});
}

TEST_F(CloudGuiTest, EveryNodeAndRecordIsThereBeforeItsBranchIsOpened) {
    const std::string ann = db_.AddUser("ann", "pw");
    const std::string bob = db_.AddUser("bob", "pw");
    using Record = std::tuple<wxString, wxString, wxString>; // title, sid, language
    std::set<Record> expected = {{"loose", db_.AddSnippet(ann, "loose", std::nullopt, "1"), ""},
                                 {"one", db_.AddSnippet(ann, "one", "C", "2"), "C"},
                                 {"two", db_.AddSnippet(ann, "two", "C", "3"), "C"},
                                 {"go", db_.AddSnippet(ann, "go", "Go", "4"), "Go"}};
    const std::string liked = db_.AddSnippet(bob, "liked", "Lua", "5", true, true);
    db_.AddFavourite(ann, liked);
    expected.emplace("liked", liked, "Lua");
    wxFileName::Mkdir("snippets/Shell/Batch", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    WriteFile("snippets/Shell/Batch/run", "echo");
    WriteFile("snippets/notes", "text");
    ASSERT_EQ(::symlink(".", "snippets/Shell/self"), 0);
    OpenFrame();
    LogIn(ann);

    // Three groups, five entries of the store, four rows and two languages of the user's own,
    // one row and its language among the favourites: every node is counted and can be walked
    // to before any branch was opened, and each title node has the record of its own row.
    EXPECT_EQ(Tree()->GetCount(), 16u);
    std::set<Record> records;
    size_t walked = 0;
    std::function<void(const wxTreeItemId&)> walk = [&](const wxTreeItemId& node) {
        wxTreeItemIdValue cookie;
        for (wxTreeItemId child = Tree()->GetFirstChild(node, cookie); child.IsOk();
             child = Tree()->GetNextChild(node, cookie)) {
            ++walked;
            const wxString label = Tree()->GetItemText(child);
            const auto record = Tree()->RecordFor(child);
            const bool is_title = label == "loose" || label == "one" || label == "two" ||
                                  label == "go" || label == "liked";
            EXPECT_EQ(record.has_value(), is_title) << label;
            if (record)
                records.emplace(record->info.title, record->info.sid, record->info.language);
            walk(child);
        }
    };
    walk(Tree()->GetRootItem());
    EXPECT_EQ(walked, 16u);
    EXPECT_EQ(records, expected);

    // The workspace's buttons open every branch and close them again, on a tree rebuilt with
    // nothing open.
    Tree()->LoadTree();
    const auto press = [this](int id) {
        wxCommandEvent event(wxEVT_BUTTON, id);
        Workspace()->ProcessWindowEvent(event);
    };
    press(Interface::ID_EXPAND_ALL);
    for (const auto& path : {std::initializer_list<wxString>{"Local", "Shell", "Batch"},
                             std::initializer_list<wxString>{"My Cloud", "C"},
                             std::initializer_list<wxString>{"Favourites", "Lua"}})
        EXPECT_TRUE(Tree()->IsExpanded(Node(path))) << *path.begin();
    EXPECT_FALSE(Tree()->ItemHasChildren(Node({"Local", "Shell", "self"})));
    press(Interface::ID_COLLAPSE_ALL);
    EXPECT_TRUE(AllCollapsed(Tree(), Tree()->GetRootItem()));
    EXPECT_EQ(Tree()->GetCount(), 16u);
}
