#include "gui/GuiFixture.h"

#include "app/CorvaneFrame.h"
#include "app/Interface.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"

#include <wx/aui/auibook.h>
#include <wx/clipbrd.h>
#include <wx/tokenzr.h>

namespace {

// Keyword set 0 as the editors must colour it: 51 words, "using" twice.
const char* const kKeywords =
    "auto bool break case char const continue default delete do double else enum extern false "
    "float for goto if int long new register return short signed sizeof static struct switch "
    "true typedef union unsigned using void volatile while catch class friend inline namespace "
    "private protected public template this throw try using";

constexpr int kKeywordStyle = 5;
constexpr int kIdentifierStyle = 11;

// The style of every character of the word that starts at `pos`, or -1 when they differ.
int WordStyle(snippet_stc* editor, int pos, int length) {
    const int style = editor->GetStyleAt(pos);
    for (int i = 1; i < length; ++i) {
        if (editor->GetStyleAt(pos + i) != style)
            return -1;
    }
    return style;
}

wxString ClipboardText() {
    wxString text;
    if (wxTheClipboard->Open()) {
        wxTextDataObject data;
        if (wxTheClipboard->GetData(data))
            text = data.GetText();
        wxTheClipboard->Close();
    }
    return text;
}

void SetClipboardText(const wxString& text) {
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTheClipboard->SetData(new wxTextDataObject(text));
    wxTheClipboard->Close();
}

} // namespace

TEST_F(GuiTest, EditorUsesTheCppLexer) {
    OpenFrame();
    ASSERT_NE(Editor(0), nullptr);
    EXPECT_EQ(Editor(0)->GetLexer(), 3);
}

TEST_F(GuiTest, EditorColoursEveryKeywordAndNothingElse) {
    OpenFrame();
    snippet_stc* editor = Editor(0);
    const wxArrayString keywords = wxStringTokenize(kKeywords, " ");
    ASSERT_EQ(keywords.size(), 51u);

    // Each keyword on a line of its own, then words that C++ knows but the list leaves out.
    wxString text;
    for (const wxString& word : keywords)
        text << word << "\n";
    const std::vector<wxString> others = {"foo",      "virtual", "operator", "nullptr", "mutable",
                                          "typename", "Class",   "classes",  "RETURN"};
    for (const wxString& word : others)
        text << word << "\n";
    editor->SetText(text);
    editor->Colourise(0, -1);

    int line = 0;
    for (const wxString& word : keywords) {
        const int pos = editor->PositionFromLine(line++);
        EXPECT_EQ(WordStyle(editor, pos, static_cast<int>(word.length())), kKeywordStyle) << word;
    }
    for (const wxString& word : others) {
        const int pos = editor->PositionFromLine(line++);
        EXPECT_EQ(WordStyle(editor, pos, static_cast<int>(word.length())), kIdentifierStyle)
            << word;
    }
}

// A language the colouring table does not know is coloured as C/C++.
TEST_F(GuiTest, KeywordsOfAnUnknownLanguageAreColouredAsCpp) {
    OpenFrame();
    snippet_info info;
    info.sid = "7";
    info.title = "Script";
    info.content = "class return foo";
    info.language = "Cobol";
    Workspace()->OpenCloudSnippet(info);
    snippet_stc* editor = Editor(1);
    ASSERT_NE(editor, nullptr);
    editor->Colourise(0, -1);
    EXPECT_EQ(WordStyle(editor, 0, 5), kKeywordStyle);
    EXPECT_EQ(WordStyle(editor, 6, 6), kKeywordStyle);
    EXPECT_EQ(WordStyle(editor, 13, 3), kIdentifierStyle);
    EXPECT_TRUE(editor->StyleGetBold(kKeywordStyle));
    EXPECT_EQ(editor->StyleGetForeground(kKeywordStyle), wxColour(0, 0, 190));
}

TEST_F(GuiTest, EditorStylesHaveTheirColoursAndWeight) {
    OpenFrame();
    snippet_stc* editor = Editor(0);
    struct Row {
        int style;
        wxColour foreground; // invalid: the component's default
        wxColour background;
        bool bold;
    };
    const wxColour fg = editor->StyleGetForeground(wxSTC_STYLE_DEFAULT);
    const wxColour bg = editor->StyleGetBackground(wxSTC_STYLE_DEFAULT);
    EXPECT_EQ(fg, *wxBLACK);
    EXPECT_EQ(bg, *wxWHITE);
    const std::vector<Row> rows = {
        {0, fg, bg, false},
        {1, wxColour(140, 140, 140), bg, false},
        {2, wxColour(140, 140, 140), bg, false},
        {3, wxColour(0, 140, 0), bg, false},
        {4, wxColour(255, 0, 255), bg, false},
        {5, wxColour(0, 0, 190), bg, true},
        {6, wxColour(0, 0, 255), bg, false},
        {7, wxColour(255, 165, 0), bg, false},
        {8, fg, bg, false},
        {9, wxColour(0, 140, 0), bg, false},
        {10, wxColour(255, 0, 0), bg, false},
        {11, wxColour(20, 20, 20), bg, false},
        {12, fg, bg, false},
        {16, fg, bg, false},
        {34, fg, wxColour(0, 40, 255), false},
        {35, wxColour(255, 255, 255), wxColour(255, 0, 0), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "style " << row.style);
        EXPECT_EQ(editor->StyleGetForeground(row.style), row.foreground);
        EXPECT_EQ(editor->StyleGetBackground(row.style), row.background);
        EXPECT_EQ(editor->StyleGetBold(row.style), row.bold);
    }
}

TEST_F(GuiTest, EditorFontMarginAndIndentation) {
    OpenFrame();
    snippet_stc* editor = Editor(0);
    // The face the toolkit picks for a 10-point fixed-pitch font.
    const wxString modern = wxFont(wxFontInfo(10).Family(wxFONTFAMILY_MODERN)).GetFaceName();
    ASSERT_FALSE(modern.empty());
    EXPECT_NE(modern, wxFont(wxFontInfo(10).Family(wxFONTFAMILY_ROMAN)).GetFaceName());
    for (int style : {0, 1, 5, 11, 32, 34, 35, 50, 99}) {
        SCOPED_TRACE(testing::Message() << "style " << style);
        EXPECT_EQ(editor->StyleGetSize(style), 10);
        EXPECT_EQ(editor->StyleGetFaceName(style), modern);
        EXPECT_FALSE(editor->StyleGetItalic(style));
        EXPECT_FALSE(editor->StyleGetUnderline(style));
        EXPECT_EQ(editor->StyleGetWeight(style),
                  style == kKeywordStyle ? wxFONTWEIGHT_BOLD : wxFONTWEIGHT_NORMAL);
    }

    EXPECT_EQ(editor->GetMarginType(1), wxSTC_MARGIN_NUMBER);
    EXPECT_EQ(editor->GetMarginWidth(1), 40);
    EXPECT_EQ(editor->GetIndent(), 4);
    EXPECT_NE(editor->GetIndentationGuides(), wxSTC_IV_NONE);
    EXPECT_FALSE(editor->GetBackSpaceUnIndents());
}

TEST_F(GuiTest, ReadOnlyPageKeepsItsTextButCopies) {
    OpenFrame();
    snippet_info info;
    info.sid = "12";
    info.title = "Public";
    info.content = "int shared = 1;";
    info.is_public = true;
    Workspace()->OpenCloudSnippet(info);
    ASSERT_EQ(Selection(), 1);
    snippet_stc* editor = Editor(1);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->GetReadOnly());
    EXPECT_TRUE(editor->info.is_public);

    SetClipboardText("pasted");
    editor->SetSelection(4, 10); // "shared"
    for (int id :
         std::initializer_list<int>{wxID_CUT, wxID_PASTE, ID_DELETE, wxID_DELETE, wxID_UNDO}) {
        Command(id);
        EXPECT_EQ(editor->GetText(), "int shared = 1;") << "command " << id;
    }
    // The caret alone: Delete would take the character after it.
    editor->SetEmptySelection(0);
    Command(ID_DELETE);
    Command(wxID_UNDO);
    EXPECT_EQ(editor->GetText(), "int shared = 1;");

    editor->SetSelection(4, 10);
    Command(wxID_COPY);
    EXPECT_EQ(ClipboardText(), "shared");
    // And the copied text pastes into a writable page.
    Workspace()->Notebook()->SetSelection(0);
    Command(wxID_PASTE);
    EXPECT_EQ(Editor(0)->GetText(), "shared");
}

TEST_F(GuiTest, EditCommandsActOnTheWritableEditor) {
    OpenFrame();
    snippet_stc* editor = Editor(0);
    EXPECT_FALSE(editor->GetReadOnly());
    editor->AddText("hello world");

    Command(wxID_UNDO);
    EXPECT_EQ(editor->GetText(), "");
    Command(wxID_REDO);
    EXPECT_EQ(editor->GetText(), "hello world");

    Command(wxID_SELECTALL);
    EXPECT_EQ(editor->GetSelectedText(), "hello world");

    // Delete with a selection removes exactly the selection, from the menu and from the tool.
    editor->SetSelection(5, 11);
    Command(ID_DELETE);
    EXPECT_EQ(editor->GetText(), "hello");
    editor->SetSelection(0, 2);
    Command(wxID_DELETE);
    EXPECT_EQ(editor->GetText(), "llo");
    // Without one it removes the character after the caret.
    editor->SetEmptySelection(1);
    Command(ID_DELETE);
    EXPECT_EQ(editor->GetText(), "lo");
    EXPECT_EQ(editor->GetCurrentPos(), 1);
    // At the end of the text there is nothing after the caret.
    editor->SetEmptySelection(2);
    Command(wxID_DELETE);
    EXPECT_EQ(editor->GetText(), "lo");

    // Cut and Paste move text.
    editor->SetText("alpha beta");
    editor->SetSelection(0, 6);
    Command(wxID_CUT);
    EXPECT_EQ(editor->GetText(), "beta");
    EXPECT_EQ(ClipboardText(), "alpha ");
    editor->SetEmptySelection(4);
    editor->AddText(" ");
    Command(wxID_PASTE);
    EXPECT_EQ(editor->GetText(), "beta alpha ");
}

TEST_F(GuiTest, ZoomChangesOnlyTheSelectedEditor) {
    OpenFrame();
    Command(wxID_NEW);
    ASSERT_EQ(PageCount(), 2u);
    ASSERT_EQ(Selection(), 1);
    const int start = Editor(0)->GetZoom();
    EXPECT_EQ(Editor(1)->GetZoom(), start);

    Command(ID_ZOOM_IN);
    Command(ID_ZOOM_IN);
    EXPECT_EQ(Editor(1)->GetZoom(), start + 2);
    EXPECT_EQ(Editor(0)->GetZoom(), start);

    Workspace()->Notebook()->SetSelection(0);
    Command(ID_ZOOM_OUT);
    EXPECT_EQ(Editor(0)->GetZoom(), start - 1);
    EXPECT_EQ(Editor(1)->GetZoom(), start + 2);
}

TEST_F(GuiTest, EditAndViewCommandsIgnoreAPageWithoutEditor) {
    OpenFrame();
    snippet_stc* editor = Editor(0);
    editor->AddText("keep me");
    editor->SetSelection(0, 4);
    const int zoom = editor->GetZoom();

    wxAuiNotebook* notebook = Workspace()->Notebook();
    auto* form = new panel_with_stc(notebook);
    form->kind = "login";
    notebook->AddPage(form, "Login", true);
    ASSERT_EQ(Selection(), 1);
    EXPECT_EQ(Workspace()->CurrentEditor(), nullptr);

    SetClipboardText("clipboard");
    for (int id : std::initializer_list<int>{wxID_UNDO, wxID_REDO, wxID_CUT, wxID_COPY, wxID_PASTE,
                                             ID_DELETE, wxID_DELETE, wxID_SELECTALL, ID_ZOOM_IN,
                                             ID_ZOOM_OUT, ID_FIND, ID_REPLACE})
        Command(id);

    EXPECT_EQ(PageCount(), 2u);
    EXPECT_EQ(Selection(), 1);
    EXPECT_EQ(editor->GetText(), "keep me");
    EXPECT_EQ(editor->GetSelectedText(), "keep");
    EXPECT_EQ(editor->GetZoom(), zoom);
    EXPECT_EQ(ClipboardText(), "clipboard");
    EXPECT_TRUE(prompts_->History().empty());
}
