#include "gui/CloudGuiTest.h"

#include "app/CorvaneFrame.h"
#include "browse/public_browser.h"
#include "browse/search_results.h"
#include "browse/search_results_tree.h"
#include "editor/snippet_stc.h"
#include "support/ScopedEnv.h"
#include "support/TcpProxy.h"

#include <wx/aui/auibook.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/filename.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <sys/stat.h>

namespace {

using Strings = std::vector<wxString>;
using Sent = std::vector<std::string>;

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

class SearchTest : public CloudGuiTest {
protected:
    void Send(wxWindow* target, wxEventType type, int id) {
        wxCommandEvent event(type, id);
        event.SetEventObject(target);
        target->ProcessWindowEvent(event);
    }

    // Presses "Browse Public Snippets" and returns the search page.
    public_browser* Browse() {
        Send(Workspace(), wxEVT_BUTTON, Interface::ID_BROWSE_PUBLIC);
        const int index = Workspace()->FindPage("public-browser");
        return index < 0 ? nullptr
                         : dynamic_cast<public_browser*>(Workspace()->Notebook()->GetPage(index));
    }

    // Fills the fields as typed (or pasted) and presses "Search".
    void Search(public_browser* page, const wxString& title, const wxString& language = "",
                const wxString& maximum = "") {
        ASSERT_TRUE(page->LanguageBox()->SetStringSelection(language)) << language;
        page->TitleBox()->ChangeValue(title);
        page->MaximumBox()->ChangeValue(maximum);
        Send(page, wxEVT_BUTTON, public_browser::ID_SEARCH);
    }

    static search_results* Results(public_browser* page, size_t index) {
        return dynamic_cast<search_results*>(page->Results()->GetPage(index));
    }
    static search_results* Selected(public_browser* page) {
        return Results(page, static_cast<size_t>(page->Results()->GetSelection()));
    }

    // Double-clicks a title (or language) node of a results page.
    void View(search_results* results, std::initializer_list<wxString> path) {
        const wxTreeItemId item = Node(results->Tree(), path);
        ASSERT_TRUE(item.IsOk());
        DoubleClick(results->Tree(), item);
    }

    // Opens the search page and searches every approved snippet; the new results page.
    search_results* SearchAll() {
        public_browser* page = Browse();
        if (page == nullptr)
            return nullptr;
        Search(page, "");
        return Selected(page);
    }

    // Ticks or clears "Favourited" as a click does.
    static void Toggle(wxCheckBox* box, bool ticked) {
        box->SetValue(ticked);
        wxCommandEvent click(wxEVT_CHECKBOX, search_results::ID_FAVOURITE);
        click.SetEventObject(box);
        click.SetInt(ticked ? 1 : 0);
        box->ProcessWindowEvent(click);
    }

    std::string Views(const std::string& sid) {
        return db_.Query("SELECT views FROM snippets WHERE sid = " + sid)[0][0];
    }
};

TEST_F(SearchTest, SearchPageOpensOnceWithEveryLanguageAndNoEditorYet) {
    const std::string ann = db_.AddUser("ann", "pw");
    db_.AddSnippet(ann, "one", "Go", "1", true, true);
    db_.AddSnippet(ann, "two", "C", "2", true, true);
    // The list covers private snippets too; a language with a quote is a language like any.
    db_.AddSnippet(ann, "three", "it's", "3");
    OpenFrame();
    RecordStatements();

    public_browser* page = Browse();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(statements_, Sent{"SELECT DISTINCT language FROM snippets ORDER BY language"});
    EXPECT_EQ(PageCount(), 2u);
    EXPECT_EQ(Caption(1), "Public Snippets");
    EXPECT_EQ(Selection(), 1);
    EXPECT_EQ(page->kind, "public-browser");
    const wxArrayString choices = page->LanguageBox()->GetStrings();
    EXPECT_EQ(Strings(choices.begin(), choices.end()), (Strings{"C", "Go", "it's", ""}));
    EXPECT_EQ(page->LanguageBox()->GetValue(), "");

    // No results page yet: the frame's editing commands find no editor and do nothing.
    EXPECT_EQ(Workspace()->CurrentEditor(), nullptr);
    Command(ID_ZOOM_IN);

    // A second press selects the page that is open.
    Workspace()->Notebook()->SetSelection(0);
    statements_.clear();
    EXPECT_EQ(Browse(), page);
    EXPECT_EQ(PageCount(), 2u);
    EXPECT_EQ(Selection(), 1);
    EXPECT_TRUE(statements_.empty());

    // The quoted language is escaped in the search and finds its snippet (a private one: not
    // shown, but the statement is sound).
    Search(page, "three", "it's");
    ASSERT_EQ(statements_.size(), 1u);
    EXPECT_EQ(statements_[0], "SELECT language, title, content, sid FROM snippets WHERE public = 1 "
                              "AND approved = 1 AND ( title LIKE '%three%'  ) AND language = "
                              "'it\\'s' ORDER BY language ");
    EXPECT_EQ(page->Results()->GetPageText(0), "it's three");
}

TEST_F(SearchTest, EveryPressOpensAPageWhoseEditorTheFrameEdits) {
    const std::string ann = db_.AddUser("ann", "pw");
    db_.AddSnippet(ann, "alpha", "C", "int a;", true, true);
    db_.AddSnippet(ann, "beta", "Go", "package b", true, true);
    db_.AddSnippet(ann, "gamma", "C", "int g;", true, true);
    // Sorted with "C", but a language node of its own.
    db_.AddSnippet(ann, "delta", "c", "int d;", true, true);
    db_.AddSnippet(ann, "hidden", "C", "int h;", true, false);
    OpenFrame();
    public_browser* page = Browse();
    ASSERT_NE(page, nullptr);
    RecordStatements();

    // All fields empty: every approved public snippet, one node per run of languages.
    Search(page, "  ", "");
    Search(page, "", "");
    EXPECT_EQ(statements_, Sent(2, "SELECT language, title, content, sid FROM snippets WHERE "
                                   "public = 1 AND approved = 1 ORDER BY language "));
    ASSERT_EQ(page->Results()->GetPageCount(), 2u);
    EXPECT_EQ(page->Results()->GetPageText(0), " ");
    EXPECT_EQ(page->Results()->GetSelection(), 1);
    search_results* first = Results(page, 0);
    search_results* second = Results(page, 1);
    // The runs of exactly equal languages in the order the server sends the rows.
    Strings runs, titles;
    for (const auto& row : db_.Query(statements_[0])) {
        if (runs.empty() || runs.back() != wxString::FromUTF8(row[0]))
            runs.push_back(wxString::FromUTF8(row[0]));
        titles.push_back(wxString::FromUTF8(row[1]));
    }
    ASSERT_EQ(titles.size(), 4u);
    ASSERT_EQ(runs.back(), "Go");
    EXPECT_EQ(Labels(second->Tree(), second->Tree()->GetRootItem()), runs);
    Strings shown;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId run = second->Tree()->GetFirstChild(second->Tree()->GetRootItem(), cookie);
         run.IsOk(); run = second->Tree()->GetNextChild(second->Tree()->GetRootItem(), cookie)) {
        const Strings below = Labels(second->Tree(), run);
        shown.insert(shown.end(), below.begin(), below.end());
    }
    EXPECT_EQ(shown, titles);
    EXPECT_EQ(second->Information()->GetLabel(), "");
    EXPECT_FALSE(second->DownloadButton()->IsEnabled());
    EXPECT_EQ(second->FavouriteBox(), nullptr);

    // The editor of the selected results page is the one the frame's commands act on.
    EXPECT_EQ(Workspace()->CurrentEditor(), second->Editor());
    View(second, {"Go", "beta"});
    EXPECT_EQ(second->Editor()->GetText(), "package b");
    const int zoom = second->Editor()->GetZoom();
    Command(ID_ZOOM_IN);
    EXPECT_EQ(second->Editor()->GetZoom(), zoom + 1);
    page->Results()->SetSelection(0);
    EXPECT_EQ(Workspace()->CurrentEditor(), first->Editor());

    // Stop words add no condition but stay in the caption; the caption leads with the language.
    Search(page, "the in at", "");
    EXPECT_EQ(page->Results()->GetPageText(2), " the in at");
    EXPECT_EQ(Labels(Selected(page)->Tree(), Selected(page)->Tree()->GetRootItem()), runs);
    Search(page, " alp ", "C", " 5 ");
    EXPECT_EQ(page->Results()->GetPageText(3), "C alp");
    EXPECT_EQ(statements_.back(), "SELECT language, title, content, sid FROM snippets WHERE public "
                                  "= 1 AND approved = 1 AND ( title LIKE '%alp%'  ) AND language = "
                                  "'C' ORDER BY language LIMIT 5");
    EXPECT_EQ(Labels(Selected(page)->Tree(), Node(Selected(page)->Tree(), {"C"})),
              Strings{"alpha"});

    // Closing the selected results page leaves no stale editor behind.
    page->Results()->DeletePage(3);
    Pump();
    EXPECT_EQ(Workspace()->CurrentEditor(), Selected(page)->Editor());
    while (page->Results()->GetPageCount() > 0)
        page->Results()->DeletePage(0);
    Pump();
    EXPECT_EQ(Workspace()->CurrentEditor(), nullptr);
    Command(ID_ZOOM_IN);
}

TEST_F(SearchTest, MaximumIsCheckedOrWidenedAndARefusedSearchSaysSoOnItsPage) {
    const std::string ann = db_.AddUser("ann", "pw");
    db_.AddSnippet(ann, "alpha", "C", "int a;", true, true);
    db_.AddSnippet(ann, "alphabet", "C", "int b;", true, true);
    OpenFrame();
    public_browser* page = Browse();
    ASSERT_NE(page, nullptr);
    RecordStatements();

    // Pasted text passes the numeric filter; it must not reach the statement.
    for (const char* maximum :
         {"1 UNION SELECT username, password, 1, 1 FROM users", "-1", "1e3"}) {
        prompts_->ExpectMessage();
        Search(page, "alpha", "", maximum);
    }
    EXPECT_TRUE(statements_.empty());
    EXPECT_EQ(page->Results()->GetPageCount(), 0u);
    ASSERT_EQ(prompts_->History().size(), 3u);
    EXPECT_TRUE(prompts_->History()[0].message.Lower().Contains("maximum"));

    // Digits beyond what the server can count ask for every row, as any large maximum does.
    Search(page, "alpha", "", "99999999999999999999999999");
    ASSERT_EQ(statements_.size(), 1u);
    EXPECT_TRUE(wxString(statements_[0]).EndsWith(" LIMIT 18446744073709551615"));
    EXPECT_EQ(Labels(Selected(page)->Tree(), Node(Selected(page)->Tree(), {"C"})),
              (Strings{"alpha", "alphabet"}));
    EXPECT_EQ(Selected(page)->Information()->GetLabelText(), "");

    // A search the server refuses (the program's account may not read snippets, as on a
    // misconfigured cloud) says so on its page.
    {
        struct Regrant {
            TestDatabase& db;
            ~Regrant() { db.Exec("GRANT SELECT ON corvane.snippets TO 'corvane'@'%'"); }
        } regrant{db_};
        db_.Exec("REVOKE SELECT ON corvane.snippets FROM 'corvane'@'%'");
        Search(page, "alpha");
    }
    search_results* refused = Selected(page);
    EXPECT_TRUE(Labels(refused->Tree(), refused->Tree()->GetRootItem()).empty());
    const wxString line = refused->Information()->GetLabelText();
    EXPECT_TRUE(line.StartsWith(" The search could not be run: ") && line.Contains("denied"))
        << line;
}

TEST_F(SearchTest, NulInATitleOrLanguageShowsAndTheRestOfTheLabelStays) {
    const std::string ann = db_.AddUser("ann", "pw");
    db_.Exec("INSERT INTO snippets(uid, title, language, content, public, approved) VALUES(" + ann +
             ", 'a\\0b', 'C\\0x', 'text', 1, 1)");
    const wxString shown(wxUniChar(0xFFFD));
    const wxString title = "a" + shown + "b";
    const wxString language = "C" + shown + "x";
    OpenFrame();
    LogIn(ann);
    EXPECT_EQ(Labels({"My Cloud"}), Strings{language});
    EXPECT_EQ(Labels({"My Cloud", language}), Strings{title});

    public_browser* page = Browse();
    ASSERT_NE(page, nullptr);
    Search(page, "");
    search_results* results = Selected(page);
    EXPECT_EQ(Labels(results->Tree(), Node(results->Tree(), {language})), Strings{title});
    View(results, {language, title});
    EXPECT_EQ(results->Information()->GetLabelText(),
              " Title: " + title + "    Language: " + language + "    Author: ann        (1 view)");
}

TEST_F(SearchTest, ViewShowsTheSnippetAndCountsEachView) {
    const std::string ann = db_.AddUser("ann & co", "pw");
    const std::string sid =
        db_.AddSnippet(ann, "Tom & Jerry", "C++", "int main() {}\n", true, true);
    const std::string doomed = db_.AddSnippet(ann, "doomed", "C++", "gone soon", true, true);
    OpenFrame();
    search_results* results = SearchAll();
    ASSERT_NE(results, nullptr);
    RecordStatements();

    View(results, {"C++", "Tom & Jerry"});
    EXPECT_EQ(results->Editor()->GetText(), "int main() {}\n");
    EXPECT_EQ(results->Information()->GetLabelText(),
              " Title: Tom & Jerry    Language: C++    Author: ann & co        (1 view)");
    // Logged out when the page was made: no favourites statement.
    EXPECT_EQ(statements_,
              (Sent{"SELECT snippets.title, snippets.language, users.username, snippets.views+1 "
                    "FROM snippets, users WHERE snippets.sid = " +
                        sid + " AND users.uid = snippets.uid LIMIT 1",
                    "UPDATE snippets SET views = views+1 WHERE sid = " + sid}));
    EXPECT_EQ(Views(sid), "1");
    EXPECT_TRUE(results->DownloadButton()->IsEnabled());
    EXPECT_EQ(results->ShownSid(), sid);

    View(results, {"C++", "Tom & Jerry"});
    EXPECT_TRUE(results->Information()->GetLabelText().EndsWith("(2 views)"));
    EXPECT_EQ(Views(sid), "2");

    // A language node changes nothing on the page.
    statements_.clear();
    View(results, {"C++"});
    EXPECT_TRUE(statements_.empty());
    EXPECT_EQ(results->Editor()->GetText(), "int main() {}\n");

    // A snippet deleted since the search: its text shows, the label stays, and a download of
    // that text is proposed under its own title, not under the one on the label.
    const wxString label = results->Information()->GetLabelText();
    db_.Exec("DELETE FROM snippets WHERE sid = " + doomed);
    View(results, {"C++", "doomed"});
    EXPECT_EQ(results->Editor()->GetText(), "gone soon");
    EXPECT_EQ(results->Information()->GetLabelText(), label);
    EXPECT_EQ(results->ShownSid(), sid);
    prompts_->AnswerSaveFile(std::nullopt);
    Send(results->DownloadButton(), wxEVT_BUTTON, search_results::ID_DOWNLOAD);
    EXPECT_EQ(prompts_->History().back().file.file_name, "doomed.snippet");
}

TEST_F(SearchTest, FavouritedChangesOneRowOrSaysWhyNotAndFollowsTheUser) {
    const std::string ann = db_.AddUser("ann", "pw");
    const std::string bob = db_.AddUser("bob", "pw");
    const std::string sid = db_.AddSnippet(bob, "liked", "Lua", "print(1)", true, true);
    const std::string old = db_.AddSnippet(bob, "old love", "Lua", "print(2)", true, true);
    db_.AddFavourite(ann, old);
    TcpProxy proxy(db_.Port());
    ScopedEnv through_proxy("CORVANE_DB_PORT", std::to_string(proxy.Port()));
    OpenFrame();
    LogIn(ann);
    search_results* results = SearchAll();
    ASSERT_NE(results, nullptr);
    wxCheckBox* favourite = results->FavouriteBox();
    ASSERT_NE(favourite, nullptr);
    EXPECT_FALSE(favourite->IsEnabled());
    RecordStatements();

    View(results, {"Lua", "liked"});
    ASSERT_EQ(statements_.size(), 3u);
    EXPECT_EQ(statements_[2],
              "SELECT * FROM favourites WHERE sid = " + sid + " AND uid = " + ann + " LIMIT 1");
    EXPECT_TRUE(favourite->IsEnabled());
    EXPECT_FALSE(favourite->GetValue());

    statements_.clear();
    Toggle(favourite, true);
    ASSERT_FALSE(statements_.empty());
    EXPECT_EQ(statements_[0], "INSERT INTO favourites(uid, sid) VALUES(" + ann + ", " + sid + ")");
    EXPECT_EQ(db_.Query("SELECT uid, sid FROM favourites WHERE sid = " + sid),
              (TestDatabase::Rows{{ann, sid}}));
    Strings liked = Labels({"Favourites", "Lua"});
    std::sort(liked.begin(), liked.end());
    EXPECT_EQ(liked, (Strings{"liked", "old love"}));

    statements_.clear();
    Toggle(favourite, false);
    ASSERT_FALSE(statements_.empty());
    EXPECT_EQ(statements_[0],
              "DELETE FROM favourites WHERE uid = " + ann + " AND sid = " + sid + " LIMIT 1");
    EXPECT_TRUE(db_.Query("SELECT uid FROM favourites WHERE sid = " + sid).empty());
    EXPECT_EQ(Labels({"Favourites", "Lua"}), Strings{"old love"});

    // A tick whose INSERT is cut on its way, and an untick while the server is down: each is
    // reported, and the box goes back to what the server holds.
    proxy.Arm([](const std::string& s) { return s.rfind("INSERT", 0) == 0; },
              TcpProxy::Action::CutBefore);
    prompts_->ExpectMessage();
    Toggle(favourite, true);
    EXPECT_FALSE(favourite->GetValue());
    // A snippet that is a favourite already shows ticked.
    View(results, {"Lua", "old love"});
    EXPECT_TRUE(favourite->GetValue());
    db_.KillServer();
    prompts_->ExpectMessage();
    Toggle(favourite, false);
    EXPECT_TRUE(favourite->GetValue());
    db_.StartServer();
    ASSERT_EQ(prompts_->History().size(), 2u);
    EXPECT_TRUE(prompts_->History()[0].message.StartsWith(
        "The snippet could not be added to your favourites"));
    EXPECT_TRUE(prompts_->History()[1].message.StartsWith(
        "The snippet could not be removed from your favourites"));
    EXPECT_EQ(db_.Query("SELECT sid FROM favourites"), TestDatabase::Rows{{old}});

    // Logged out, the page has no box; the next user's box shows that user's mark, and a tick
    // is stored for that user.
    prompts_->ExpectMessage();
    Command(ID_LOGOUT);
    EXPECT_EQ(results->FavouriteBox(), nullptr);
    LogIn(bob);
    ASSERT_NE(favourite = results->FavouriteBox(), nullptr);
    EXPECT_TRUE(favourite->IsEnabled() && !favourite->GetValue());
    Toggle(favourite, true);
    EXPECT_EQ(db_.Query("SELECT uid FROM favourites WHERE sid = " + old + " ORDER BY uid"),
              (TestDatabase::Rows{{ann}, {bob}}));
}

TEST_F(SearchTest, DownloadWritesBelowDownloadsWhateverTheRowSays) {
    const std::string ann = db_.AddUser("ann", "pw");
    db_.AddSnippet(ann, "Quick sort", "Ruby", "def qs(a)\n  a.sort\nend\n", true, true);
    db_.AddSnippet(ann, "../../y", "../../x", "hostile", true, true);
    db_.AddSnippet(ann, "lost", "Go", "never written", true, true);
    db_.AddSnippet(ann, "gem", "Ruby.snippet", "gem 'x'", true, true);
    OpenFrame();
    search_results* results = SearchAll();
    ASSERT_NE(results, nullptr);
    const auto download = [&] {
        Send(results->DownloadButton(), wxEVT_BUTTON, search_results::ID_DOWNLOAD);
    };

    // Cancelled: neither directory is left behind.
    View(results, {"Ruby", "Quick sort"});
    prompts_->AnswerSaveFile(std::nullopt);
    download();
    ASSERT_EQ(prompts_->History().size(), 1u);
    EXPECT_EQ(prompts_->History()[0].file.directory, "./snippets/downloads/Ruby/");
    EXPECT_EQ(prompts_->History()[0].file.file_name, "Quick sort.snippet");
    EXPECT_EQ(prompts_->History()[0].file.wildcard, "All Files|*.*");
    EXPECT_FALSE(Exists("snippets/downloads"));

    prompts_->AnswerSaveFile(wxString("./snippets/downloads/Ruby/Quick sort.snippet"));
    download();
    EXPECT_EQ(ReadFile("snippets/downloads/Ruby/Quick sort.snippet"), "def qs(a)\n  a.sort\nend\n");
    EXPECT_EQ(Labels({"Local", "downloads", "Ruby"}), Strings{"Quick sort.snippet"});

    // A hostile language and title name a directory and a file inside downloads, nothing else.
    View(results, {"../../x", "../../y"});
    const std::string inside = "./snippets/downloads/.._.._x/";
    prompts_->AnswerSaveFile(wxString(inside + ".._.._y.snippet"));
    download();
    EXPECT_EQ(prompts_->History().back().file.directory, inside);
    EXPECT_EQ(prompts_->History().back().file.file_name, ".._.._y.snippet");
    EXPECT_EQ(ReadFile(inside + ".._.._y.snippet"), "hostile");
    EXPECT_FALSE(Exists("x"));
    EXPECT_FALSE(Exists("snippets/x"));

    // A file that cannot be written is reported, and the new language directory goes again;
    // the downloads directory, which existed before, stays.
    View(results, {"Go", "lost"});
    prompts_->AnswerSaveFile(wxString("./snippets/downloads/no/such/dir/lost.snippet"));
    prompts_->ExpectMessage();
    download();
    EXPECT_TRUE(prompts_->History().back().message.Contains("could not be downloaded"));
    EXPECT_FALSE(Exists("snippets/downloads/Go"));
    EXPECT_TRUE(Exists("snippets/downloads/Ruby/Quick sort.snippet"));
    prompts_->AnswerSaveFile(std::nullopt);
    wxFileName::Rmdir("snippets/downloads", wxPATH_RMDIR_RECURSIVE);
    wxFileName::Mkdir("snippets/downloads");
    download();
    EXPECT_TRUE(Exists("snippets/downloads"));

    // A language that names a file there (an earlier download) says why, and the dialog opens
    // where it can save.
    WriteFile("snippets/downloads/Ruby.snippet", "an earlier download");
    View(results, {"Ruby.snippet", "gem"});
    prompts_->ExpectMessage();
    prompts_->AnswerSaveFile(wxString("./snippets/downloads/gem.snippet"));
    download();
    const auto& history = prompts_->History();
    ASSERT_GE(history.size(), 2u);
    EXPECT_TRUE(history[history.size() - 2].message.Contains("a file of that name is in the way"));
    EXPECT_EQ(history.back().file.directory, "./snippets/downloads/");
    EXPECT_EQ(ReadFile("snippets/downloads/gem.snippet"), "gem 'x'");
    EXPECT_EQ(ReadFile("snippets/downloads/Ruby.snippet"), "an earlier download");
}

} // namespace
