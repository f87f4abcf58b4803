#include "gui/CloudGuiTest.h"

#include "app/CorvaneFrame.h"
#include "browse/SharedSnippetsPage.h"
#include "browse/public_browser.h"
#include "browse/search_results.h"
#include "browse/search_results_tree.h"
#include "editor/EditorStyle.h"
#include "editor/Languages.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"
#include "storage/cloud_or_local.h"

#include <wx/aui/auibook.h>
#include <wx/filename.h>

namespace {

// Opens a page of a cloud snippet of that language and text, and returns its editor.
snippet_stc* OpenAs(Interface* workspace, const wxString& language, const wxString& text) {
    snippet_info info;
    info.sid = "1";
    info.title = "Sample";
    info.content = text;
    info.language = language;
    workspace->OpenCloudSnippet(info);
    auto* notebook = workspace->Notebook();
    return dynamic_cast<panel_with_stc*>(notebook->GetPage(notebook->GetPageCount() - 1))->stc;
}

// Everything a style shows text with, as one line.
std::string Look(snippet_stc* editor, int style) {
    return wxString::Format("fore %s back %s weight %d face '%s' size %d italic %d underline %d "
                            "charset %d",
                            editor->StyleGetForeground(style).GetAsString(wxC2S_HTML_SYNTAX),
                            editor->StyleGetBackground(style).GetAsString(wxC2S_HTML_SYNTAX),
                            editor->StyleGetWeight(style), editor->StyleGetFaceName(style),
                            editor->StyleGetSizeFractional(style), editor->StyleGetItalic(style),
                            editor->StyleGetUnderline(style), editor->StyleGetCharacterSet(style))
        .ToStdString();
}

std::string StyleBytes(snippet_stc* editor) {
    std::string bytes;
    for (int pos = 0; pos < editor->GetLength(); ++pos)
        bytes += std::to_string(editor->GetStyleAt(pos)) + ' ';
    return bytes;
}

int Lexer(snippet_stc* editor) { return editor ? editor->GetLexer() : -1; }

} // namespace

TEST_F(GuiTest, EveryLanguageColoursItsKeywordsInTheCommonPalette) {
    struct Sample {
        const char* language;
        const char* text;
        const char* keyword; // a word C/C++ would not colour as one
    };
    const std::vector<Sample> samples = {
        {"Python", "def f(x):\n    return x  # done\n", "def"},
        {"Shell", "if [ -f x ]; then echo 'a'; fi\n", "then"},
        {"SQL", "SELECT a FROM t WHERE b = 'x';\n", "SELECT"},
        {"JavaScript", "function f() { return /a+/; }\n", "function"},
        {"TypeScript", "interface A { b: number; }\n", "interface"},
        {"Java", "final class A extends B {}\n", "extends"},
        {"C#", "foreach (var x in xs) { }\n", "foreach"},
        {"Go", "func main() { defer f() }\n", "defer"},
        {"Rust", "fn main() { let mut x = 1; }\n", "mut"},
        {"Ruby", "unless x then y end\n", "unless"},
        {"Perl", "my $x = 1; print $x;\n", "my"},
        {"PHP", "<?php\nfunction f($x) { echo $x; }\n", "echo"},
        {"Lua", "local function f() return nil end\n", "local"},
        {"HTML", "<p class=\"a\">hi</p>\n", "p"},
        {"XML", "<note to=\"a\">hi</note>\n", "note"},
        {"CSS", "p { color: red; }\n", "color"},
        {"JSON", "{\"a\": [1, null]}\n", "null"},
        {"YAML", "a: 1\nb: yes\n", "yes"},
        {"Makefile", "all: main.o\n\tcc -o main main.o\n", "all"},
        {"CMake", "project(demo)\nadd_executable(demo main.c)\n", "add_executable"},
        {"Markdown", "Some **bold** text\n", "**bold**"},
        {"Diff", "--- a/x\n+++ b/x\n@@ -1 +1 @@\n-old\n+new\n", "--- a/x"},
    };
    OpenFrame();
    const wxString face = Editor(0)->StyleGetFaceName(wxSTC_STYLE_DEFAULT);
    for (const Sample& sample : samples) {
        SCOPED_TRACE(sample.language);
        const languages::Language* row = languages::Find(sample.language);
        ASSERT_NE(row, nullptr);
        snippet_stc* editor = OpenAs(Workspace(), sample.language, sample.text);
        // The control takes any number; only styled text shows the lexer exists.
        EXPECT_EQ(editor->GetLexer(), row->lexer);
        editor->Colourise(0, -1);
        const int pos = wxString(sample.text).Find(sample.keyword);
        const int style = editor->GetStyleAt(pos);
        for (int i = 1; i < static_cast<int>(strlen(sample.keyword)); ++i)
            EXPECT_EQ(editor->GetStyleAt(pos + i), style) << "at " << pos + i;
        EXPECT_NE(style, 0);
        EXPECT_TRUE(std::any_of(
            row->styles.begin(), row->styles.end(),
            [&](const auto& s) { return s.style == style && s.token == languages::kKeyword; }))
            << "style " << style;
        // Dark blue and bold, in the editor's font, as C/C++ keywords are.
        EXPECT_EQ(editor->StyleGetForeground(style), wxColour(0, 0, 190));
        EXPECT_TRUE(editor->StyleGetBold(style));
        EXPECT_EQ(editor->StyleGetFaceName(style), face);
        EXPECT_EQ(editor->StyleGetSize(style), editor_style::kFontPoints);
    }
}

TEST_F(GuiTest, CPagesAndPagesBackFromOtherLanguagesLookExactlyLikeANewPage) {
    OpenFrame();
    // Every keyword any row knows, and every kind of token C/C++ colours.
    wxString text = editor_style::Keywords() + "\n";
    for (const languages::Language& row : languages::Table()) {
        for (const languages::KeywordSet& set : row.keywords)
            text << set.words << "\n";
    }
    text << "#include <x>\n/** doc */ /* block */ // line\n/// more\nint x = 'c' + \"s\" - 1.5;\n";

    std::vector<snippet_stc*> pages;
    for (const char* language : {"C", "c++", "", "Cobol"})
        pages.push_back(OpenAs(Workspace(), language, text));
    snippet_stc* travelled = OpenAs(Workspace(), "Python", text);
    for (const char* language : {"PHP", "Java", "Diff", "Go", "C"})
        travelled->ColourAs(language);
    pages.push_back(travelled);

    snippet_stc* fresh = Editor(0);
    fresh->SetText(text);
    fresh->Colourise(0, -1);
    const std::string styled = StyleBytes(fresh);
    for (snippet_stc* page : pages) {
        SCOPED_TRACE(page == travelled ? "Python, PHP, Java, Diff, Go, C" : "opened as C");
        page->Colourise(0, -1);
        EXPECT_EQ(page->GetLexer(), editor_style::kLexerCpp);
        EXPECT_EQ(StyleBytes(page), styled);
        for (int style = 0; style <= wxSTC_STYLE_MAX; ++style)
            EXPECT_EQ(Look(page, style), Look(fresh, style)) << "style " << style;
    }
}

TEST_F(CloudGuiTest, PagesAreColouredAsTheLanguageOfWhereTheSnippetLives) {
    const std::string ann = db_.AddUser("ann", "pw");
    db_.AddSnippet(ann, "query", "SQL", "SELECT 1;");
    db_.AddSnippet(ann, "public", "Lua", "local x = 1", true, true);
    for (const char* directory : {"snippets/Python", "snippets/downloads/Ruby"})
        wxFileName::Mkdir(directory, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    WriteFile("snippets/Python/hello", "return 1\n");
    WriteFile("snippets/downloads/Ruby/gem", "puts 1\n");
    WriteFile("snippets/notes", "return 1\n");
    OpenFrame();
    LogIn(ann);
    const auto selected = [this] { return Lexer(Editor(static_cast<size_t>(Selection()))); };

    DoubleClick({"Local", "Python", "hello"});
    EXPECT_EQ(selected(), 2);
    DoubleClick({"Local", "downloads", "Ruby", "gem"});
    EXPECT_EQ(selected(), 22);
    DoubleClick({"Local", "notes"});
    EXPECT_EQ(selected(), editor_style::kLexerCpp);
    DoubleClick({"My Cloud", "SQL", "query"});
    EXPECT_EQ(selected(), 7);

    // The shared-snippets page shows what its lists show in their language.
    Command(ID_SHARED_SNIPPETS);
    auto* shared = dynamic_cast<SharedSnippetsPage*>(Page(static_cast<size_t>(Selection())));
    ASSERT_NE(shared, nullptr);
    DoubleClick(shared->Left(), Node(shared->Left(), {"Private Snippets", "SQL", "query"}));
    EXPECT_EQ(Lexer(shared->stc), 7);
    DoubleClick(shared->Left(), Node(shared->Left(), {"Local", "Python", "hello"}));
    EXPECT_EQ(Lexer(shared->stc), 2);

    // A search result in the language of its row.
    wxCommandEvent browse(wxEVT_BUTTON, Interface::ID_BROWSE_PUBLIC);
    Workspace()->ProcessWindowEvent(browse);
    auto* search = dynamic_cast<public_browser*>(Page(static_cast<size_t>(Selection())));
    ASSERT_NE(search, nullptr);
    wxCommandEvent press(wxEVT_BUTTON, public_browser::ID_SEARCH);
    search->ProcessWindowEvent(press);
    auto* results = dynamic_cast<search_results*>(search->Results()->GetPage(0));
    ASSERT_NE(results, nullptr);
    DoubleClick(results->Tree(), Node(results->Tree(), {"Lua", "public"}));
    EXPECT_EQ(results->Editor()->GetText(), "local x = 1");
    EXPECT_EQ(Lexer(results->Editor()), 15);
}

TEST_F(CloudGuiTest, SavingUnderAnotherLanguageColoursThePageAnew) {
    const std::string ann = db_.AddUser("ann", "pw");
    OpenFrame();
    LogIn(ann);
    snippet_stc* editor = Editor(0);
    editor->SetText("def f(): pass\n");

    // The text is styled again at once, not only when the page is next drawn.
    prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, "f", "Python");
    Command(ID_SAVE);
    EXPECT_EQ(editor->GetLexer(), 2);
    EXPECT_EQ(editor->GetStyleAt(0), languages::kKeyword);

    editor->SetText("func f() {}\n");
    prompts_->AnswerSaveDestination(cloud_or_local::ID_LOCALLY, "f", "Go");
    prompts_->AnswerSaveFile(wxGetCwd() + "/snippets/Go/f");
    Workspace()->SaveToCloud();
    EXPECT_EQ(Page(0)->path, wxGetCwd() + "/snippets/Go/f");
    EXPECT_EQ(editor->GetLexer(), editor_style::kLexerCpp);
    EXPECT_EQ(editor->GetStyleAt(0), languages::kKeyword);
}
