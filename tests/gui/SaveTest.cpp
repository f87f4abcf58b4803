#include "gui/CloudGuiTest.h"

#include "support/ScopedEnv.h"
#include "support/TcpProxy.h"

#include "app/CorvaneFrame.h"
#include "app/TextCodec.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"
#include "storage/cloud_or_local.h"

#include <wx/aui/auibook.h>
#include <wx/button.h>
#include <wx/filename.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <map>
#include <optional>

namespace {

using Kind = ScriptedPrompts::Kind;

// The dialog's buttons by window id, and the texts of its labels.
std::map<int, wxString> Buttons(const wxWindow* dialog) {
    std::map<int, wxString> buttons;
    for (const wxWindow* child : dialog->GetChildren()) {
        if (const auto* button = dynamic_cast<const wxButton*>(child))
            buttons[button->GetId()] = button->GetLabel();
    }
    return buttons;
}

std::vector<wxString> StaticTexts(const wxWindow* dialog) {
    std::vector<wxString> texts;
    for (const wxWindow* child : dialog->GetChildren()) {
        if (const auto* text = dynamic_cast<const wxStaticText*>(child))
            texts.push_back(text->GetLabel());
    }
    return texts;
}

void Click(wxWindow* dialog, int id) {
    wxWindow* button = dialog->FindWindow(id);
    ASSERT_NE(button, nullptr);
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->ProcessWindowEvent(click);
}

bool Exists(const char* path) { return wxFileName::Exists(path); }

} // namespace

TEST_F(GuiTest, SaveDestinationDialogOffersWhatTheUserMayChoose) {
    {
        cloud_or_local dialog(nullptr, false);
        EXPECT_EQ(dialog.GetTitle(), "Save");
        EXPECT_EQ(StaticTexts(&dialog),
                  (std::vector<wxString>{"Confirm save:", "Title:", "Language:"}));
        EXPECT_EQ(Buttons(&dialog), (std::map<int, wxString>{{6000, "Save"}, {6001, "Cancel"}}));
        EXPECT_EQ(dialog.Title(), "New Snippet");
        EXPECT_EQ(dialog.Language(), "");
        EXPECT_EQ(dialog.Result(), cloud_or_local::ID_CANCEL);
        dialog.Show();
        Click(&dialog, cloud_or_local::ID_LOCALLY);
        EXPECT_EQ(dialog.Result(), cloud_or_local::ID_LOCALLY);
        EXPECT_FALSE(dialog.IsShown());
    }
    {
        cloud_or_local dialog(nullptr, true);
        EXPECT_EQ(StaticTexts(&dialog).front(), "Where would you like to store this snippet?");
        EXPECT_EQ(Buttons(&dialog), (std::map<int, wxString>{
                                        {5999, "My Cloud"}, {6000, "Locally"}, {6001, "Cancel"}}));
        // The fields are read back as typed.
        std::vector<wxTextCtrl*> fields;
        for (wxWindow* child : dialog.GetChildren()) {
            if (auto* field = dynamic_cast<wxTextCtrl*>(child))
                fields.push_back(field);
        }
        ASSERT_EQ(fields.size(), 2u);
        fields[0]->SetValue("Quick sort");
        fields[1]->SetValue("Ruby");
        EXPECT_EQ(dialog.Title(), "Quick sort");
        EXPECT_EQ(dialog.Language(), "Ruby");
        dialog.Show();
        Click(&dialog, cloud_or_local::ID_MY_CLOUD);
        EXPECT_EQ(dialog.Result(), cloud_or_local::ID_MY_CLOUD);
    }
    {
        // The close box counts as Cancel, whatever was clicked before.
        cloud_or_local dialog(nullptr, true);
        dialog.Show();
        Click(&dialog, cloud_or_local::ID_MY_CLOUD);
        dialog.Show();
        dialog.Close();
        EXPECT_EQ(dialog.Result(), cloud_or_local::ID_CANCEL);
        EXPECT_FALSE(dialog.IsShown());
    }
}

TEST_F(CloudGuiTest, NotLoggedInSavesLocallyThroughTheLanguageDirectory) {
    OpenFrame();
    RecordStatements();
    Editor(0)->SetText("puts 'hi'\n");

    // Cancelling the file dialog leaves no new directory behind; it existed while asking.
    bool directory_while_asking = false;
    prompts_->AnswerSaveDestination(cloud_or_local::ID_LOCALLY, "hello", "Ruby");
    prompts_->AnswerSaveFile(std::nullopt);
    prompts_->OnNextQuestion([&] {
        prompts_->OnNextQuestion([&] { directory_while_asking = Exists("snippets/Ruby"); });
    });
    Command(ID_SAVE);
    ASSERT_EQ(prompts_->History().size(), 2u);
    EXPECT_EQ(prompts_->History()[0].kind, Kind::SaveDestination);
    EXPECT_FALSE(prompts_->History()[0].ask_destination);
    const SaveFileRequest& request = prompts_->History()[1].file;
    EXPECT_EQ(request.message, "Save File");
    EXPECT_EQ(request.directory, "./snippets/Ruby/");
    EXPECT_EQ(request.file_name, "hello");
    EXPECT_EQ(request.wildcard, "All Files|*.*");
    EXPECT_TRUE(directory_while_asking);
    EXPECT_FALSE(Exists("snippets/Ruby"));
    EXPECT_EQ(Page(0)->path, "");
    // Still unsaved.
    EXPECT_EQ(Caption(0), "*New Snippet");

    // The page has no file and no row yet, so the next Save asks again; confirming keeps the
    // directory with the file.
    prompts_->AnswerSaveDestination(cloud_or_local::ID_LOCALLY, "hello", "Ruby");
    prompts_->AnswerSaveFile(wxString("./snippets/Ruby/hello"));
    Command(ID_SAVE);
    EXPECT_EQ(ReadFile("snippets/Ruby/hello"), "puts 'hi'\n");
    EXPECT_EQ(Page(0)->path, "./snippets/Ruby/hello");
    EXPECT_EQ(Caption(0), "hello");
    EXPECT_EQ(Labels({"Local", "Ruby"}), std::vector<wxString>{"hello"});

    // From now on Save writes the file without asking.
    Editor(0)->SetText("puts 'bye'\n");
    Command(ID_SAVE);
    EXPECT_EQ(ReadFile("snippets/Ruby/hello"), "puts 'bye'\n");
    EXPECT_EQ(prompts_->History().size(), 4u);
    EXPECT_TRUE(statements_.empty());
}

TEST_F(CloudGuiTest, CancelledSaveNeverRemovesADirectoryItDidNotMake) {
    OpenFrame();
    Editor(0)->SetText("text");
    wxFileName::Mkdir("snippets/Go");
    // "/" and "." name the store itself, "Go" a directory that exists; "" makes none.
    for (const char* language : {"/", ".", "Go", ""}) {
        SCOPED_TRACE(language);
        prompts_->AnswerSaveDestination(cloud_or_local::ID_LOCALLY, "t", language);
        prompts_->AnswerSaveFile(std::nullopt);
        Command(ID_SAVE);
        EXPECT_TRUE(Exists("snippets"));
        EXPECT_TRUE(Exists("snippets/Go"));
    }
    // The store still takes files.
    prompts_->AnswerSaveDestination(cloud_or_local::ID_LOCALLY, "t", "/");
    prompts_->AnswerSaveFile(wxString("./snippets//t"));
    Command(ID_SAVE);
    EXPECT_EQ(ReadFile("snippets/t"), "text");
}

TEST_F(CloudGuiTest, LanguageThatNamesAFileSaysWhyAndTheDialogOpensInTheStore) {
    WriteFile("snippets/notes", "a file at the store's root");
    OpenFrame();
    prompts_->AnswerSaveDestination(cloud_or_local::ID_LOCALLY, "t", "notes");
    prompts_->ExpectMessage();
    prompts_->AnswerSaveFile(std::nullopt);
    Command(ID_SAVE);
    ASSERT_EQ(prompts_->History().size(), 3u);
    EXPECT_EQ(prompts_->History()[1].message,
              "The snippet cannot be saved in the folder \"./snippets/notes/\": a file of that "
              "name is in the way.\n\nThe file dialog opens in \"./snippets/\" instead.");
    EXPECT_EQ(prompts_->History()[2].file.directory, "./snippets/");
    EXPECT_EQ(ReadFile("snippets/notes"), "a file at the store's root");
}

TEST_F(CloudGuiTest, FileThatIsNotUtf8SavesBackByteForByteUntilItNeedsUtf8) {
    const std::string latin = "caf\xE9 \xA9\n";
    WriteFile("snippets/menu", latin);
    OpenFrame();
    DoubleClick({"Local", "menu"});
    ASSERT_EQ(PageCount(), 2u);
    EXPECT_EQ(Editor(1)->SnippetText(), wxString::FromUTF8("caf\xC3\xA9 \xC2\xA9\n"));

    Command(ID_SAVE);
    EXPECT_EQ(ReadFile("snippets/menu"), latin);
    Editor(1)->AppendText(wxString::FromUTF8("tea \xC3\xA0 2"));
    Command(ID_SAVE);
    EXPECT_EQ(ReadFile("snippets/menu"), "caf\xE9 \xA9\ntea \xE0 2");
    EXPECT_TRUE(prompts_->History().empty());

    // A character one byte cannot hold: the file becomes UTF-8, and the user is told.
    Editor(1)->AppendText(wxString::FromUTF8(" \xE2\x82\xAC"));
    prompts_->ExpectMessage();
    Command(ID_SAVE);
    ASSERT_EQ(prompts_->History().size(), 1u);
    EXPECT_TRUE(prompts_->History()[0].message.Contains("UTF-8"));
    EXPECT_EQ(ReadFile("snippets/menu"), "caf\xC3\xA9 \xC2\xA9\ntea \xC3\xA0 2 \xE2\x82\xAC");
    Command(ID_SAVE);
    EXPECT_EQ(prompts_->History().size(), 1u);
}

TEST_F(CloudGuiTest, MyCloudInsertsRebuildsThenUpdatesTheInsertedRow) {
    const std::string uid = db_.AddUser("ann", "pw");
    OpenFrame();
    LogIn(uid);
    RecordStatements();
    Editor(0)->SetText("int x;");

    prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, "Answer", "C");
    Command(ID_SAVE);
    ASSERT_EQ(prompts_->History().size(), 1u);
    EXPECT_TRUE(prompts_->History()[0].ask_destination);
    const TestDatabase::Rows rows = db_.Query("SELECT sid, uid, title, language, content, public "
                                              "FROM snippets");
    ASSERT_EQ(rows.size(), 1u);
    const std::string sid = rows[0][0];
    EXPECT_EQ(rows[0], (std::vector<std::string>{sid, uid, "Answer", "C", "int x;", "0"}));
    // The INSERT's own reply names the row: no lookup is needed to bind the page to it.
    EXPECT_EQ(
        statements_,
        (std::vector<std::string>{
            "INSERT INTO snippets(uid, title, language, content)VALUES('" + uid +
                "', 'Answer', 'C', 'int x;')",
            "SELECT language, title, sid FROM snippets WHERE uid = " + uid + " ORDER BY language",
            "SELECT snippets.language, snippets.title, snippets.sid FROM snippets, "
            "favourites WHERE favourites.sid = snippets.sid AND favourites.uid = " +
                uid + " ORDER BY snippets.language"}));
    EXPECT_EQ(Labels({"My Cloud", "C"}), std::vector<wxString>{"Answer"});
    EXPECT_EQ(Editor(0)->info.sid, wxString(sid));
    EXPECT_EQ(Editor(0)->info.title, "Answer");
    EXPECT_EQ(Editor(0)->info.language, "C");
    EXPECT_EQ(Page(0)->kind, "");
    EXPECT_EQ(Caption(0), "New Snippet");

    statements_.clear();
    Editor(0)->SetText("int y;");
    Command(ID_SAVE);
    EXPECT_EQ(statements_, std::vector<std::string>{"UPDATE snippets SET content = 'int y;' "
                                                    "WHERE sid = " +
                                                    sid});
    EXPECT_EQ(db_.Query("SELECT content FROM snippets"), TestDatabase::Rows{{"int y;"}});
    // Saving the same text again matches the row without changing it: nothing to say.
    Command(ID_SAVE);
    EXPECT_EQ(prompts_->History().size(), 1u);
}

TEST_F(CloudGuiTest, SaveOverADeletedRowSaysSoAndAsksWhereTheTextGoes) {
    const std::string uid = db_.AddUser("ann", "pw");
    const std::string sid = db_.AddSnippet(uid, "mine", "C", "v1");
    OpenFrame();
    LogIn(uid);
    DoubleClick({"My Cloud", "C", "mine"});
    ASSERT_EQ(PageCount(), 2u);
    // Deleted from another computer while the page is open.
    db_.Exec("DELETE FROM snippets WHERE sid = " + sid);
    Editor(1)->SetText("v2");

    prompts_->ExpectMessage();
    prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, "mine again", "C");
    Command(ID_SAVE);
    ASSERT_EQ(prompts_->History().size(), 2u);
    EXPECT_TRUE(prompts_->History()[0].message.Contains("no longer exists"));
    EXPECT_EQ(prompts_->History()[1].kind, Kind::SaveDestination);
    const TestDatabase::Rows rows = db_.Query("SELECT sid, title, content FROM snippets");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], "mine again");
    EXPECT_EQ(rows[0][2], "v2");
    EXPECT_EQ(Editor(1)->info.sid, wxString(rows[0][0]));

    // Cancelling the question instead leaves the text in its page, and the next Save asks again.
    db_.Exec("DELETE FROM snippets");
    prompts_->ExpectMessage();
    prompts_->AnswerSaveDestination(cloud_or_local::ID_CANCEL);
    Command(ID_SAVE);
    EXPECT_EQ(Editor(1)->GetText(), "v2");
    prompts_->AnswerSaveDestination(cloud_or_local::ID_CANCEL);
    Command(ID_SAVE);
    EXPECT_EQ(prompts_->History().size(), 5u);
}

// A page of a cloud row writes over the row only for its owner: not after a change of user, and
// never over a favourite of somebody else's.
TEST_F(CloudGuiTest, PagesOfAnotherUsersRowNeverSaveOverIt) {
    const std::string ann = db_.AddUser("ann", "pw");
    const std::string bob = db_.AddUser("bob", "pw");
    const std::string mine = db_.AddSnippet(ann, "mine", "C", "v1");
    const std::string theirs = db_.AddSnippet(bob, "theirs", "Go", "bob's", true, true);
    db_.AddFavourite(ann, theirs);
    OpenFrame();
    LogIn(ann);
    DoubleClick({"My Cloud", "C", "mine"});
    DoubleClick({"Favourites", "Go", "theirs"});
    ASSERT_EQ(PageCount(), 3u);
    Editor(1)->SetText("typed while bob is logged in");
    LogIn(bob);

    const auto content = [this](const std::string& sid) {
        return db_.Query("SELECT content FROM snippets WHERE sid = " + sid);
    };
    for (const size_t page : {1u, 2u}) {
        Workspace()->Notebook()->SetSelection(page);
        prompts_->ExpectMessage();
        prompts_->AnswerSaveDestination(cloud_or_local::ID_CANCEL);
        Command(ID_SAVE);
        EXPECT_TRUE(prompts_->History().back().kind == Kind::SaveDestination);
    }
    EXPECT_TRUE(prompts_->History()[0].message.Contains("not yours")) << "message";
    EXPECT_EQ(content(mine), TestDatabase::Rows{{"v1"}});
    EXPECT_EQ(content(theirs), TestDatabase::Rows{{"bob's"}});

    // The page stayed bound to its row: its owner, logged in again, saves it.
    LogIn(ann);
    Workspace()->Notebook()->SetSelection(1);
    Command(ID_SAVE);
    EXPECT_EQ(content(mine), TestDatabase::Rows{{"typed while bob is logged in"}});
    Workspace()->Notebook()->SetSelection(2);
    prompts_->ExpectMessage();
    prompts_->AnswerSaveDestination(cloud_or_local::ID_CANCEL);
    Command(ID_SAVE);
    EXPECT_EQ(content(theirs), TestDatabase::Rows{{"bob's"}});
}

TEST_F(CloudGuiTest, ServerKilledRightAfterTheInsertLeavesThePageBoundToItsRow) {
    const std::string uid = db_.AddUser("ann", "pw");
    OpenFrame();
    LogIn(uid);
    bool killed = false;
    // The server dies between the INSERT and the next statement (the tree's rebuild).
    Workspace()->Connection()->SetStatementObserver([&](const std::string& statement) {
        if (!killed && statement.rfind("SELECT language", 0) == 0) {
            killed = true;
            db_.KillServer();
        }
    });
    Editor(0)->SetText("survives");
    prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, "crash", "C");
    Command(ID_SAVE);
    ASSERT_TRUE(killed);
    db_.StartServer();
    const TestDatabase::Rows rows = db_.Query("SELECT sid FROM snippets");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Editor(0)->info.sid, wxString(rows[0][0]));

    // The next Save updates that row instead of asking and inserting a second one.
    Editor(0)->SetText("survives, edited");
    Command(ID_SAVE);
    EXPECT_EQ(db_.Query("SELECT sid, content FROM snippets"),
              (TestDatabase::Rows{{rows[0][0], "survives, edited"}}));
    EXPECT_EQ(prompts_->History().size(), 1u);
}

TEST_F(CloudGuiTest, InsertWhoseReplyIsLostIsLookedUpBeforeAnythingIsSaid) {
    const std::string uid = db_.AddUser("ann", "pw");
    TcpProxy proxy(db_.Port());
    ScopedEnv through_proxy("CORVANE_DB_PORT", std::to_string(proxy.Port()));
    OpenFrame();
    LogIn(uid);
    const auto is_insert = [](const std::string& s) { return s.rfind("INSERT", 0) == 0; };
    // Quotes, backslashes and a NUL: the lookup must find the row by its exact values.
    const wxString title = "it's \\ here";
    const wxString text = text::FromUtf8(std::string("a\\'b\0c", 7));

    // The row was stored, the reply lost: the page is bound to it and the user is told so.
    proxy.Arm(is_insert, TcpProxy::Action::CutAfter);
    Editor(0)->SetSnippetText(text);
    prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, title, "C");
    prompts_->ExpectMessage();
    Command(ID_SAVE);
    ASSERT_EQ(prompts_->History().size(), 2u);
    EXPECT_TRUE(prompts_->History()[1].message.Contains("did reach the cloud"))
        << prompts_->History()[1].message;
    TestDatabase::Rows rows = db_.Query("SELECT sid FROM snippets");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Editor(0)->info.sid, wxString(rows[0][0]));
    EXPECT_EQ(Labels({"My Cloud", "C"}), std::vector<wxString>{title});

    // An UPDATE whose reply is lost is sent once more: setting the same text twice is harmless.
    RecordStatements();
    proxy.Arm([](const std::string& s) { return s.rfind("UPDATE", 0) == 0; },
              TcpProxy::Action::CutAfter);
    Editor(0)->SetText("edited");
    Command(ID_SAVE);
    EXPECT_EQ(prompts_->History().size(), 2u);
    EXPECT_EQ(statements_.size(), 2u);
    EXPECT_EQ(db_.Query("SELECT content FROM snippets"), TestDatabase::Rows{{"edited"}});

    // The statement never arrived: the failure is reported and the page stays new.
    Command(wxID_NEW);
    Editor(1)->SetText("second");
    proxy.Arm(is_insert, TcpProxy::Action::CutBefore);
    prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, "second", "C");
    prompts_->ExpectMessage();
    Command(ID_SAVE);
    ASSERT_EQ(prompts_->History().size(), 4u);
    EXPECT_TRUE(prompts_->History()[3].message.Contains("did not reach the cloud"))
        << prompts_->History()[3].message;
    EXPECT_EQ(Page(1)->kind, "new-snippet");
    EXPECT_EQ(db_.Query("SELECT COUNT(*) FROM snippets"), TestDatabase::Rows{{"1"}});

    // The server died with the statement: nobody can tell yet, and the user is told that too.
    Workspace()->Connection()->SetStatementObserver([&](const std::string& statement) {
        if (is_insert(statement))
            db_.KillServer();
    });
    prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, "second", "C");
    prompts_->ExpectMessage();
    Command(ID_SAVE);
    db_.StartServer();
    ASSERT_EQ(prompts_->History().size(), 6u);
    EXPECT_TRUE(prompts_->History()[5].message.Contains("cannot be reached to find out"))
        << prompts_->History()[5].message;
    EXPECT_EQ(Page(1)->kind, "new-snippet");
    EXPECT_EQ(db_.Query("SELECT COUNT(*) FROM snippets"), TestDatabase::Rows{{"1"}});
}

TEST_F(CloudGuiTest, TitleTooLongOrTextTooLargeIsRefusedWithAMessage) {
    const std::string uid = db_.AddUser("ann", "pw");
    // A lenient server would cut the title; a small packet limit makes a 2 MB text too large.
    ServerVariable lenient(db_, "sql_mode", "");
    ServerVariable small(db_, "max_allowed_packet", "1048576");
    OpenFrame();
    LogIn(uid);

    Editor(0)->SetText("short");
    prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, wxString('t', 300), "C");
    prompts_->ExpectMessage();
    Command(ID_SAVE);
    ASSERT_EQ(prompts_->History().size(), 2u);
    EXPECT_TRUE(prompts_->History()[1].message.Contains("too long"))
        << prompts_->History()[1].message;
    EXPECT_EQ(Page(0)->kind, "new-snippet");

    Editor(0)->SetText(wxString('x', 2 << 20));
    prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, "big", "C");
    prompts_->ExpectMessage();
    Command(ID_SAVE);
    ASSERT_EQ(prompts_->History().size(), 4u);
    EXPECT_TRUE(prompts_->History()[3].message.Contains("1048576"))
        << prompts_->History()[3].message;
    EXPECT_EQ(Page(0)->kind, "new-snippet");
    EXPECT_EQ(db_.Query("SELECT COUNT(*) FROM snippets"), TestDatabase::Rows{{"0"}});
}

TEST_F(CloudGuiTest, SaveAllAsksForEachNewPageAfterSelectingIt) {
    WriteFile("snippets/notes", "old");
    OpenFrame();
    RecordStatements();
    wxString title = "notes", path = "./snippets/notes", content, sid;
    Workspace()->OpenSnippetPage(title, path, content, sid, false);
    Editor(1)->SetText("new");
    Command(wxID_NEW);
    ASSERT_EQ(PageCount(), 3u);
    ASSERT_EQ(Selection(), 2);
    Workspace()->Notebook()->SetSelection(1);

    std::vector<int> selected_when_asked;
    prompts_->AnswerSaveDestination(cloud_or_local::ID_CANCEL);
    prompts_->AnswerSaveDestination(cloud_or_local::ID_CANCEL);
    prompts_->OnNextQuestion([&] {
        selected_when_asked.push_back(Selection());
        prompts_->OnNextQuestion([&] { selected_when_asked.push_back(Selection()); });
    });
    Command(ID_SAVE_ALL);

    EXPECT_EQ(selected_when_asked, (std::vector<int>{0, 2}));
    EXPECT_EQ(prompts_->History().size(), 2u);
    EXPECT_EQ(ReadFile("snippets/notes"), "new");
    // Cancelling changed nothing.
    EXPECT_EQ(Page(0)->kind, "new-snippet");
    EXPECT_EQ(Page(2)->kind, "new-snippet");
    EXPECT_TRUE(statements_.empty());
    EXPECT_EQ(Labels({"Local"}), std::vector<wxString>{"notes"});
}

TEST_F(CloudGuiTest, SaveLocalTurnsACloudPageIntoAFile) {
    const std::string uid = db_.AddUser("ann", "pw");
    db_.AddSnippet(uid, "mine", "C", "cloud text");
    OpenFrame();
    LogIn(uid);
    DoubleClick({"My Cloud", "C", "mine"});
    ASSERT_EQ(PageCount(), 2u);
    Editor(1)->SetText("file text");

    prompts_->AnswerSaveFile(wxString("./snippets/mine.c"));
    Command(ID_SAVE_LOCAL);
    ASSERT_EQ(prompts_->History().size(), 1u);
    EXPECT_EQ(prompts_->History()[0].file.directory, "./snippets/");
    EXPECT_EQ(prompts_->History()[0].file.file_name, "");
    EXPECT_EQ(Caption(1), "mine.c");
    EXPECT_EQ(Page(1)->path, "./snippets/mine.c");
    EXPECT_EQ(Editor(1)->info.sid, "");
    EXPECT_EQ(ReadFile("snippets/mine.c"), "file text");
    EXPECT_EQ(Labels({"Local"}), std::vector<wxString>{"mine.c"});

    RecordStatements();
    Editor(1)->SetText("later text");
    Command(ID_SAVE);
    EXPECT_EQ(ReadFile("snippets/mine.c"), "later text");
    EXPECT_TRUE(statements_.empty());
    EXPECT_EQ(db_.Query("SELECT content FROM snippets"), TestDatabase::Rows{{"cloud text"}});
}

TEST_F(CloudGuiTest, FilePageSavesToItsFileAndSendsNothing) {
    const std::string uid = db_.AddUser("ann", "pw");
    db_.AddSnippet(uid, "main", "Go", "cloud copy");
    wxFileName::Mkdir("snippets/Go");
    WriteFile("snippets/Go/main", "package main\n");
    OpenFrame();
    LogIn(uid);
    RecordStatements();

    DoubleClick({"Local", "Go", "main"});
    ASSERT_EQ(PageCount(), 2u);
    Editor(1)->SetText("package main\n\nfunc main() {}\n");
    Command(ID_SAVE);
    EXPECT_EQ(ReadFile("snippets/Go/main"), "package main\n\nfunc main() {}\n");
    EXPECT_TRUE(statements_.empty());
    EXPECT_TRUE(prompts_->History().empty());
    EXPECT_EQ(db_.Query("SELECT content FROM snippets"), TestDatabase::Rows{{"cloud copy"}});
}

TEST_F(CloudGuiTest, FailedFileWriteLeavesThePageAsItWas) {
    OpenFrame();
    Editor(0)->SetText("keep me");

    prompts_->AnswerSaveDestination(cloud_or_local::ID_LOCALLY, "x", "");
    prompts_->AnswerSaveFile(wxString("./snippets/no/such/x"));
    prompts_->ExpectMessage();
    Command(ID_SAVE);
    ASSERT_EQ(prompts_->History().size(), 3u);
    EXPECT_TRUE(prompts_->History()[2].message.Contains("./snippets/no/such/x"));
    EXPECT_EQ(Page(0)->kind, "new-snippet");
    EXPECT_EQ(Page(0)->path, "");
    EXPECT_EQ(Caption(0), "*New Snippet");
    EXPECT_EQ(Editor(0)->GetText(), "keep me");

    // A page whose file has become a directory keeps its text and its path.
    WriteFile("snippets/notes", "old");
    wxString title = "notes", path = "./snippets/notes", content, sid;
    Workspace()->OpenSnippetPage(title, path, content, sid, false);
    wxRemoveFile("snippets/notes");
    wxFileName::Mkdir("snippets/notes");
    Editor(1)->SetText("edited");
    prompts_->ExpectMessage();
    Command(ID_SAVE);
    EXPECT_EQ(prompts_->History().size(), 4u);
    EXPECT_EQ(Page(1)->path, "./snippets/notes");
    EXPECT_EQ(Editor(1)->GetText(), "edited");
}

TEST_F(CloudGuiTest, HostileValuesRoundTripByteExact) {
    const std::string uid = db_.AddUser("ann", "pw");
    OpenFrame();
    LogIn(uid);
    const std::string title = "it's \\ % _";
    const std::string language = "C'\\%";
    const char raw[] =
        "printf(\"it's %s_\\n\"); // \xF0\x9F\x98\x80 caf\xC3\xA9 \\' \\\\\0 end\r\n";
    const std::string content(raw, sizeof raw - 1);
    Editor(0)->SetSnippetText(text::FromUtf8(content));

    prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, text::FromUtf8(title),
                                    text::FromUtf8(language));
    Command(ID_SAVE);
    TestDatabase::Rows rows = db_.Query("SELECT sid, title, language, content FROM snippets");
    ASSERT_EQ(rows.size(), 1u);
    const std::string sid = rows[0][0];
    EXPECT_EQ(rows[0], (std::vector<std::string>{sid, title, language, content}));
    EXPECT_EQ(Editor(0)->info.sid, wxString(sid));

    // A 4 MB text goes over the row and comes back unchanged.
    std::string large = content;
    while (large.size() < (4u << 20))
        large += "line with 'quotes', \\backslashes\\ and \xE2\x82\xAC signs\n";
    Editor(0)->SetSnippetText(text::FromUtf8(large));
    Command(ID_SAVE);
    rows = db_.Query("SELECT content FROM snippets");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0][0] == large) << "the content differs";

    DoubleClick({"My Cloud", text::FromUtf8(language), text::FromUtf8(title)});
    ASSERT_EQ(PageCount(), 2u);
    EXPECT_TRUE(Editor(1)->SnippetText() == text::FromUtf8(large)) << "the opened text differs";
}

TEST_F(CloudGuiTest, CloudRefusedForItsEncryptionIsUnreachableAndTheMessageSaysWhy) {
    struct Case {
        const char* name;
        bool offer_tls;
        std::string certificate; // empty: the server's own
        wxString reason;
    };
    const Case cases[] = {
        {"no TLS", false, "", "the cloud does not offer an encrypted connection"},
        {"another CA", true, RefusedCertificate("other-ca"),
         "the cloud's certificate could not be verified"},
        {"expired", true, RefusedCertificate("expired"),
         "the cloud's certificate could not be verified"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TcpProxy proxy(db_.Port());
        if (!c.offer_tls)
            proxy.OfferNoTls();
        std::optional<ServerCertificate> presented;
        if (!c.certificate.empty())
            presented.emplace(db_, c.certificate);
        {
            ScopedEnv port("CORVANE_DB_PORT", std::to_string(proxy.Port()));
            ScopedEnv tls("CORVANE_DB_TLS", "required");
            ScopedEnv ca("CORVANE_DB_CA", db_.Dir() + "/tls/ca.pem");
            prompts_->ExpectMessage();
            OpenFrame();
        }
        ASSERT_FALSE(prompts_->History().empty());
        EXPECT_EQ(prompts_->History().back().message,
                  "Failed to connect to the database...\nOnly local snippets will be "
                  "available.\n\nThe connection was refused because " +
                      c.reason + ".");
        EXPECT_TRUE(frame_->IsShown());
        EXPECT_EQ(Workspace()->Connection(), nullptr);
        frame_->Destroy();
        frame_ = nullptr;
        Pump();
    }
    EXPECT_EQ(prompts_->History().size(), 3u);
}

TEST_F(CloudGuiTest, UnreachableCloudAtStartUpLeavesLocalSnippetsWorking) {
    wxFileName::Mkdir("snippets/Go");
    WriteFile("snippets/Go/main", "package main\n");
    {
        // Port 1 on loopback: nobody listens there, so the connect is refused at once.
        ScopedEnv nowhere("CORVANE_DB_PORT", "1");
        prompts_->ExpectMessage();
        OpenFrame();
    }
    ASSERT_EQ(prompts_->History().size(), 1u);
    EXPECT_EQ(prompts_->History()[0].message,
              "Failed to connect to the database...\nOnly local snippets will be available.");
    EXPECT_TRUE(frame_->IsShown());
    EXPECT_EQ(Workspace()->Connection(), nullptr);
    ASSERT_EQ(PageCount(), 1u);

    const std::string uid = db_.AddUser("ann", "pw");
    db_.AddSnippet(uid, "cloud", "C", "1");
    LogIn(uid);
    EXPECT_EQ(Labels({}), std::vector<wxString>{"Local"});

    DoubleClick({"Local", "Go", "main"});
    ASSERT_EQ(PageCount(), 2u);
    EXPECT_EQ(Editor(1)->GetText(), "package main\n");
    Editor(1)->SetText("package other\n");
    Command(ID_SAVE);
    EXPECT_EQ(ReadFile("snippets/Go/main"), "package other\n");

    // A cloud save says why it cannot be done and keeps the page new.
    Workspace()->Notebook()->SetSelection(0);
    Editor(0)->SetText("unsaved");
    prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, "t", "C");
    prompts_->ExpectMessage();
    Command(ID_SAVE);
    EXPECT_EQ(prompts_->History().size(), 3u);
    EXPECT_EQ(Page(0)->kind, "new-snippet");
    EXPECT_EQ(Editor(0)->GetText(), "unsaved");
    EXPECT_EQ(db_.Query("SELECT title FROM snippets"), TestDatabase::Rows{{"cloud"}});
}

TEST_F(CloudGuiTest, SaveWhileTheServerIsDownFailsVisiblyAndWorksAfterItsRestart) {
    const std::string uid = db_.AddUser("ann", "pw");
    const std::string sid = db_.AddSnippet(uid, "mine", "C", "v1");
    OpenFrame();
    LogIn(uid);
    DoubleClick({"My Cloud", "C", "mine"});
    ASSERT_EQ(PageCount(), 2u);
    Editor(1)->SetText("v2");

    struct ServerBack {
        TestDatabase& db;
        bool down = false;
        ~ServerBack() {
            if (down)
                db.StartServer();
        }
    } server{db_};
    db_.StopServer();
    server.down = true;

    prompts_->ExpectMessage();
    Command(ID_SAVE);
    ASSERT_EQ(prompts_->History().size(), 1u);
    EXPECT_EQ(prompts_->History()[0].kind, Kind::Message);
    EXPECT_EQ(Editor(1)->GetText(), "v2");
    EXPECT_EQ(Editor(1)->info.sid, wxString(sid));
    EXPECT_EQ(Page(1)->kind, "");
    EXPECT_EQ(Page(1)->path, "");

    // A new page that cannot be inserted stays new.
    Workspace()->Notebook()->SetSelection(0);
    Editor(0)->SetText("fresh");
    prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, "fresh", "Go");
    prompts_->ExpectMessage();
    Command(ID_SAVE);
    EXPECT_EQ(prompts_->History().size(), 3u);
    EXPECT_EQ(Page(0)->kind, "new-snippet");
    EXPECT_EQ(Editor(0)->info.sid, "");

    db_.StartServer();
    server.down = false;
    Workspace()->Notebook()->SetSelection(1);
    Command(ID_SAVE);
    EXPECT_EQ(db_.Query("SELECT content FROM snippets WHERE sid = " + sid),
              TestDatabase::Rows{{"v2"}});

    prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, "fresh", "Go");
    Workspace()->Notebook()->SetSelection(0);
    Command(ID_SAVE);
    EXPECT_EQ(prompts_->History().size(), 4u);
    const TestDatabase::Rows fresh = db_.Query("SELECT sid, content FROM snippets WHERE title = "
                                               "'fresh'");
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_EQ(fresh[0][1], "fresh");
    EXPECT_EQ(Editor(0)->info.sid, wxString(fresh[0][0]));
}

TEST_F(CloudGuiTest, PageWithoutFileOrRowAsksWhereAndKeepsItsKind) {
    OpenFrame();
    // An editor page bound to neither a file nor a cloud row, like the shared-snippets page:
    // a Save must ask where to go instead of sending an UPDATE without a sid.
    auto* page = new panel_with_stc(Workspace()->Notebook());
    page->stc = new snippet_stc(page);
    page->kind = "manage-shared";
    page->stc->SetSnippetText("int shared;\n");
    Workspace()->Notebook()->AddPage(page, "Shared Snippets", true);
    RecordStatements();

    wxFileName::Mkdir("snippets/C");
    prompts_->AnswerSaveDestination(cloud_or_local::ID_LOCALLY, "shared", "C");
    prompts_->AnswerSaveFile(wxString("snippets/C/shared"));
    Command(ID_SAVE);
    EXPECT_EQ(page->kind, "manage-shared");
    EXPECT_EQ(page->path, "snippets/C/shared");
    EXPECT_EQ(ReadFile("snippets/C/shared"), "int shared;\n");
    for (const std::string& statement : statements_)
        EXPECT_EQ(statement.find("UPDATE"), std::string::npos) << statement;
}
