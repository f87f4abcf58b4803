#include "gui/GuiFixture.h"

#include "app/CorvaneFrame.h"
#include "app/Interface.h"
#include "editor/RegexSearch.h"
#include "editor/find_replace_dialog.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"

#include <wx/aui/auibook.h>
#include <wx/checkbox.h>
#include <wx/notebook.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

namespace {

using Dialog = find_replace_dialog;

class FindReplaceTest : public GuiTest {
protected:
    Dialog* Find() const { return frame_->FindReplaceDialog(); }

    // Opens the frame with `text` in the first editor, the caret at `caret`, and the dialog on
    // the given tab.
    snippet_stc* Open(const wxString& text, int caret, bool replace) {
        OpenFrame();
        snippet_stc* editor = Editor(0);
        editor->SetText(text);
        editor->GotoPos(caret);
        Command(replace ? ID_REPLACE : ID_FIND);
        return editor;
    }

    // Fills in the tab's fields; `options` is a string of letters: c(ase), w(ords), b(ackwards),
    // r(egular expressions).
    static void Set(const Dialog::SearchTab& tab, const wxString& criteria,
                    const wxString& options = "", const wxString& replacement = "") {
        tab.criteria->ChangeValue(criteria);
        if (tab.replacement)
            tab.replacement->ChangeValue(replacement);
        tab.match_case->SetValue(options.Contains("c"));
        tab.whole_words->SetValue(options.Contains("w"));
        tab.backwards->SetValue(options.Contains("b"));
        tab.regular_expressions->SetValue(options.Contains("r"));
    }

    // Presses a button of the tab in view.
    void Press(int id) {
        wxWindow* button = Find()->Tabs()->GetCurrentPage()->FindWindow(id);
        ASSERT_NE(button, nullptr) << id;
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(button);
        button->ProcessWindowEvent(click);
    }
    // Presses a button that shows a message and returns that message.
    wxString PressForMessage(int id) {
        const size_t shown = prompts_->History().size();
        prompts_->ExpectMessage();
        Press(id);
        if (prompts_->History().size() != shown + 1)
            return "(no message)";
        EXPECT_EQ(prompts_->History().back().caption, "Message");
        return prompts_->History().back().message;
    }

    static std::pair<int, int> Selection(snippet_stc* editor) {
        return {editor->GetSelectionStart(), editor->GetSelectionEnd()};
    }
};

using Range = std::pair<int, int>;

} // namespace

TEST_F(FindReplaceTest, FindAndReplaceOpenTheirTabOnTheCurrentEditor) {
    OpenFrame();
    ASSERT_NE(Find(), nullptr);
    EXPECT_FALSE(Find()->IsShown());
    EXPECT_EQ(Find()->GetParent(), frame_);
    ASSERT_EQ(Find()->Tabs()->GetPageCount(), 2u);
    EXPECT_EQ(Find()->Tabs()->GetPageText(0), "Find");
    EXPECT_EQ(Find()->Tabs()->GetPageText(1), "Replace");

    Command(ID_FIND);
    EXPECT_TRUE(Find()->IsShown());
    EXPECT_EQ(Find()->target, Editor(0));
    EXPECT_EQ(Find()->Tabs()->GetSelection(), 0);
    EXPECT_EQ(Find()->GetSize(), wxSize(380, 150));
    // Already on the Find tab: no tab change, so the title stays empty.
    EXPECT_EQ(Find()->GetTitle(), "");
    EXPECT_FALSE(Find()->replace_mode);

    Command(wxID_NEW);
    Command(ID_REPLACE);
    EXPECT_EQ(Find()->target, Editor(1));
    EXPECT_EQ(Find()->Tabs()->GetSelection(), 1);
    EXPECT_EQ(Find()->GetSize(), wxSize(380, 180));
    EXPECT_EQ(Find()->GetTitle(), "Replace");
    EXPECT_TRUE(Find()->replace_mode);

    Command(ID_FIND);
    EXPECT_EQ(Find()->GetTitle(), "Find");
    EXPECT_FALSE(Find()->replace_mode);
    EXPECT_EQ(Find()->GetSize(), wxSize(380, 150));

    Press(wxID_CLOSE);
    EXPECT_FALSE(Find()->IsShown());
}

TEST_F(FindReplaceTest, CountAndReplaceAllReportTheirNumbers) {
    snippet_stc* editor = Open("ab cd ab", 0, true);
    Set(Find()->ReplaceTab(), "ab", "", "xyz");
    EXPECT_EQ(PressForMessage(Dialog::ID_COUNT), "2 occurences found");
    EXPECT_EQ(PressForMessage(Dialog::ID_REPLACE_ALL), "2 occurences replaced");
    EXPECT_EQ(editor->GetText(), "xyz cd xyz");

    // Overlapping matches count.
    editor->SetText("aaa");
    Set(Find()->ReplaceTab(), "aa");
    EXPECT_EQ(PressForMessage(Dialog::ID_COUNT), "2 occurences found");

    // Text put in by a replacement is not searched again.
    editor->SetText("aa");
    Set(Find()->ReplaceTab(), "a", "", "ba");
    EXPECT_EQ(PressForMessage(Dialog::ID_REPLACE_ALL), "2 occurences replaced");
    EXPECT_EQ(editor->GetText(), "baba");

    // An empty search text finds nothing.
    Set(Find()->ReplaceTab(), "", "", "q");
    EXPECT_EQ(PressForMessage(Dialog::ID_COUNT), "0 occurences found");
    EXPECT_EQ(PressForMessage(Dialog::ID_REPLACE_ALL), "0 occurences replaced");
    editor->SetSelection(1, 2);
    Press(Dialog::ID_REPLACE);
    EXPECT_EQ(editor->GetText(), "baba");
    EXPECT_EQ(Selection(editor), Range(1, 2));
}

TEST_F(FindReplaceTest, FindStepsFromTheSelectionWithoutWrapping) {
    snippet_stc* editor = Open("abc abc abc", 0, false);
    Set(Find()->FindTab(), "abc");
    // From the very start a forward search begins one character on: the match at 0 is skipped.
    Press(Dialog::ID_FIND);
    EXPECT_EQ(Selection(editor), Range(4, 7));
    // With the selection at a match, the next one is found.
    Press(Dialog::ID_FIND);
    EXPECT_EQ(Selection(editor), Range(8, 11));
    // No wrap: the selection stays.
    Press(Dialog::ID_FIND);
    EXPECT_EQ(Selection(editor), Range(8, 11));

    // Backwards from there reaches the match at 0.
    Set(Find()->FindTab(), "abc", "b");
    Press(Dialog::ID_FIND);
    Press(Dialog::ID_FIND);
    EXPECT_EQ(Selection(editor), Range(0, 3));
    Press(Dialog::ID_FIND);
    EXPECT_EQ(Selection(editor), Range(0, 3));

    // Whole words and case.
    editor->SetText("Abc abcd abc");
    editor->GotoPos(0);
    Set(Find()->FindTab(), "abc", "cw");
    Press(Dialog::ID_FIND);
    EXPECT_EQ(Selection(editor), Range(9, 12));

    // Replacing adjacent matches one by one replaces every second: after a replacement the
    // caret sits at its end, and the next search starts one character later.
    Command(ID_REPLACE);
    editor->SetText("aaaa");
    editor->GotoPos(0);
    Set(Find()->ReplaceTab(), "a", "", "b");
    for (int i = 0; i < 4; ++i)
        Press(Dialog::ID_REPLACE);
    EXPECT_EQ(editor->GetText(), "abab");
}

TEST_F(FindReplaceTest, EachTabKeepsItsOwnSearchAndOptions) {
    snippet_stc* editor = Open("ab AB ab", 0, false);
    Set(Find()->FindTab(), "ab", "c");
    Set(Find()->ReplaceTab(), "AB", "b", "--");
    EXPECT_EQ(PressForMessage(Dialog::ID_COUNT), "2 occurences found");

    // On the Replace tab its own backwards box decides, not the Find tab's. Backwards from the
    // end, the search starts one character before it: the last "ab" does not fit any more.
    Command(ID_REPLACE);
    editor->GotoPos(8);
    Press(Dialog::ID_REPLACE);
    EXPECT_EQ(editor->GetText(), "ab -- ab");
    EXPECT_EQ(PressForMessage(Dialog::ID_COUNT), "2 occurences found");

    Set(Find()->FindTab(), "ab", "cb");
    Set(Find()->ReplaceTab(), "ab", "", "++");
    editor->GotoPos(0);
    Press(Dialog::ID_REPLACE);
    EXPECT_EQ(editor->GetText(), "ab -- ++");
    // The Find tab kept what it was given.
    EXPECT_EQ(Find()->FindTab().criteria->GetValue(), "ab");
    EXPECT_TRUE(Find()->FindTab().backwards->GetValue());
}

TEST_F(FindReplaceTest, RegularExpressionsSelectAndReplaceWhatTheyMatched) {
    snippet_stc* editor = Open("x = 1234; y = 5;", 0, true);
    Set(Find()->ReplaceTab(), "[0-9]+", "r", "N");
    Press(Dialog::ID_REPLACE);
    EXPECT_EQ(editor->GetText(), "x = N; y = 5;");
    EXPECT_EQ(PressForMessage(Dialog::ID_REPLACE_ALL), "1 occurences replaced");
    EXPECT_EQ(editor->GetText(), "x = N; y = N;");

    Command(ID_FIND);
    editor->GotoPos(0);
    Set(Find()->FindTab(), "y = [A-Z]", "r");
    Press(Dialog::ID_FIND);
    EXPECT_EQ(editor->GetSelectedText(), "y = N");

    // A pattern that matches empty text ends, replacing each match once.
    Command(ID_REPLACE);
    editor->SetText("axxbx");
    Set(Find()->ReplaceTab(), "x*", "r", "");
    EXPECT_EQ(PressForMessage(Dialog::ID_REPLACE_ALL), "3 occurences replaced");
    EXPECT_EQ(editor->GetText(), "ab");
}

TEST_F(FindReplaceTest, ReplaceAllIsOneUndoStepAndLeavesReadOnlyTextAlone) {
    snippet_stc* editor = Open("one two one two", 0, true);
    editor->EmptyUndoBuffer();
    Set(Find()->ReplaceTab(), "one", "", "1");
    EXPECT_EQ(PressForMessage(Dialog::ID_REPLACE_ALL), "2 occurences replaced");
    EXPECT_EQ(editor->GetText(), "1 two 1 two");
    EXPECT_EQ(editor->GetCurrentPos(), 7);
    editor->Undo();
    EXPECT_EQ(editor->GetText(), "one two one two");
    EXPECT_FALSE(editor->CanUndo());

    editor->SetReadOnly(true);
    Set(Find()->ReplaceTab(), "two", "", "");
    EXPECT_EQ(PressForMessage(Dialog::ID_REPLACE_ALL), "0 occurences replaced");
    Press(Dialog::ID_REPLACE);
    EXPECT_EQ(editor->GetText(), "one two one two");
}

TEST_F(FindReplaceTest, AClosedOrMissingTargetMakesTheButtonsDoNothing) {
    OpenFrame();
    Command(wxID_NEW);
    Editor(1)->SetText("find me");
    Command(ID_REPLACE);
    Set(Find()->ReplaceTab(), "me", "", "you");
    ASSERT_TRUE(Workspace()->Notebook()->DeletePage(1));
    EXPECT_EQ(Find()->target, nullptr);
    // No message, no crash: nothing happens.
    for (int id : {Dialog::ID_REPLACE, Dialog::ID_REPLACE_ALL, Dialog::ID_COUNT})
        Press(id);

    // A page without an editor.
    auto* form = new panel_with_stc(Workspace()->Notebook());
    form->kind = "login";
    Workspace()->Notebook()->AddPage(form, "Login", true);
    Command(ID_FIND);
    EXPECT_EQ(Find()->target, nullptr);
    Set(Find()->FindTab(), "me");
    for (int id : {Dialog::ID_FIND, Dialog::ID_COUNT})
        Press(id);
    EXPECT_TRUE(prompts_->History().empty());
}

TEST_F(FindReplaceTest, SwitchingTabsByMouseChangesHeightAndTitle) {
    Open("text", 0, false);
    ASSERT_TRUE(PumpUntil([&] { return Find()->IsShownOnScreen(); }));
    wxNotebook* tabs = Find()->Tabs();
    // A point on each tab's label, found by the notebook's own hit test.
    auto tab_point = [&](int tab) {
        for (int y = 2; y < 40; y += 2) {
            for (int x = 2; x < tabs->GetSize().GetWidth(); x += 4) {
                if (tabs->HitTest(wxPoint(x, y)) == tab)
                    return tabs->ClientToScreen(wxPoint(x, y));
            }
        }
        return wxPoint(-1, -1);
    };
    const wxPoint replace_tab = tab_point(1);
    const wxPoint find_tab = tab_point(0);
    ASSERT_NE(replace_tab, wxPoint(-1, -1));
    ASSERT_NE(find_tab, wxPoint(-1, -1));
    const int height = Find()->GetSize().GetHeight();

    wxUIActionSimulator mouse;
    ASSERT_TRUE(mouse.MouseMove(replace_tab));
    Pump();
    ASSERT_TRUE(mouse.MouseClick());
    ASSERT_TRUE(PumpUntil([&] { return tabs->GetSelection() == 1; }));
    EXPECT_EQ(Find()->GetSize().GetHeight(), height + 29);
    EXPECT_EQ(Find()->GetTitle(), "Replace");
    EXPECT_TRUE(Find()->replace_mode);

    ASSERT_TRUE(mouse.MouseMove(find_tab));
    Pump();
    ASSERT_TRUE(mouse.MouseClick());
    ASSERT_TRUE(PumpUntil([&] { return tabs->GetSelection() == 0; }));
    EXPECT_EQ(Find()->GetSize().GetHeight(), height);
    EXPECT_EQ(Find()->GetTitle(), "Find");
    EXPECT_FALSE(Find()->replace_mode);
}

TEST_F(FindReplaceTest, RegularExpressionsFindWhatTheEditorsOwnSearchFinds) {
    OpenFrame();
    snippet_stc* editor = Editor(0);
    editor->SetText(wxString::FromUTF8("int x = 1234; // Gr\xC3\xB6\xC3\x9F"
                                       "e\r\nAb ab_c ab\rline$ (a) "
                                       "[b] \\n\n\nfoo(bar, baz) foo  \nend"));
    const std::string bytes(editor->GetCharacterPointer(), editor->GetLength());
    const RegexSearch::Text text{bytes.data(), 0, editor->GetLength()};
    const char* const patterns[] = {
        "[0-9]+",       "ab",       "^a",
        "b$",           "$",        "^",
        "^$",           ".",        "a*",
        "\\<a",         "b\\>",     "\\(a\\)b",
        "\\(.\\).*\\1", "[^a-z ]+", "\\w+",
        "\\s",          "\\d\\D",   "[]a]",
        "[-b]",         "[a-c-e]",  "fo+?",
        "o*?",          "x?",       "[ab]?",
        "a??",          "a?*",      "\\x41",
        "\\$",          "e\\$",     "(a)",
        "Gr..e",        "\xC3\xB6", "[\xC3\xA4\xC3\xB6]",
        "\xC3\x9F*e",   "\\.",      "a\\",
        "\\\\",         " *$",      "[A-Z]",
        "\\<[a-z]+\\>",
    };
    int compared = 0;
    for (const char* pattern : patterns) {
        for (const bool match_case : {false, true}) {
            const int flags = wxSTC_FIND_REGEXP | (match_case ? wxSTC_FIND_MATCHCASE : 0);
            for (int from = 0; from <= text.length; ++from) {
                for (const int to : {text.length, 0}) {
                    int editor_end = 0;
                    const int editor_start =
                        editor->FindText(from, to, wxString::FromUTF8(pattern), flags, &editor_end);
                    RegexSearch search(pattern, match_case, 100'000'000);
                    RegexSearch::Match match{-1, -1};
                    const bool found =
                        search.Find(text, from, to, &match) == RegexSearch::Outcome::Found;
                    ASSERT_EQ(found, editor_start >= 0) << pattern << " " << from << "->" << to;
                    if (found) {
                        ASSERT_EQ(Range(match.start, match.end), Range(editor_start, editor_end))
                            << pattern << " " << from << "->" << to;
                    }
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, 5000);
}

TEST_F(FindReplaceTest, ARunawayExpressionIsStoppedAndAnInvalidOneIsNamed) {
    const wxString start = "xb yb " + wxString(300, 'a');
    snippet_stc* editor = Open(start, 0, true);
    const wxString too_complex = "The regular expression is too complex to search this text, so "
                                 "the search was stopped and nothing was changed.";
    // The two cheap matches come first; then the run of a's, which would take minutes.
    Set(Find()->ReplaceTab(), "a*a*a*a*b", "r", "Q");
    EXPECT_EQ(PressForMessage(Dialog::ID_COUNT), too_complex);
    EXPECT_EQ(PressForMessage(Dialog::ID_REPLACE_ALL), too_complex);
    EXPECT_EQ(editor->GetText(), start);
    editor->SetSelection(5, 6);
    EXPECT_EQ(PressForMessage(Dialog::ID_REPLACE), too_complex);
    EXPECT_EQ(editor->GetText(), start);
    EXPECT_EQ(Selection(editor), Range(5, 6));
    // Within its steps the same pattern works as before.
    editor->SetText("xb yb aab");
    EXPECT_EQ(PressForMessage(Dialog::ID_REPLACE_ALL), "3 occurences replaced");
    EXPECT_EQ(editor->GetText(), "xQ yQ Q");

    const std::pair<const char*, const char*> invalid[] = {
        {"\\(", "The regular expression is not valid: Unmatched \\(."},
        {"[", "The regular expression is not valid: Missing ]."},
    };
    for (const auto& [pattern, message] : invalid) {
        Set(Find()->ReplaceTab(), pattern, "r", "Q");
        for (int id : {Dialog::ID_COUNT, Dialog::ID_REPLACE_ALL, Dialog::ID_REPLACE})
            EXPECT_EQ(PressForMessage(id), message) << pattern << " " << id;
        EXPECT_EQ(editor->GetText(), "xQ yQ Q");
    }
    // Without "Use regular expressions" the same texts are searched for as they are.
    editor->SetText("f(x[1]");
    Set(Find()->ReplaceTab(), "[");
    EXPECT_EQ(PressForMessage(Dialog::ID_COUNT), "1 occurences found");
}
