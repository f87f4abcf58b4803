#include "editor/find_replace_dialog.h"

#include "app/Prompts.h"
#include "app/TextCodec.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

namespace {

constexpr int kTabSwitchSteps = 30;

// The steps the searches of one button may take with a regular expression: plenty for any
// ordinary pattern, a bounded wait for one that would backtrack without end.
constexpr long long kRegexBaseSteps = 20'000'000;
constexpr long long kRegexStepsPerByte = 32;

const char* const kTooComplex = "The regular expression is too complex to search this text, so "
                                "the search was stopped and nothing was changed.";

// Lengths and positions in the editor count UTF-8 bytes.
int DocumentLength(const wxString& text) {
    return static_cast<int>(text::ToUtf8(text).value_or(std::string()).size());
}

wxPanel* NewPage(wxWindow* parent) {
    return new wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                       wxTAB_TRAVERSAL | wxNO_BORDER);
}

} // namespace

wxBEGIN_EVENT_TABLE(find_replace_dialog, wxDialog)
    EVT_NOTEBOOK_PAGE_CHANGING(find_replace_dialog::ID_TABS, find_replace_dialog::SwitchTab)
    EVT_BUTTON(find_replace_dialog::ID_FIND, find_replace_dialog::FindNextMatch)
    EVT_BUTTON(find_replace_dialog::ID_REPLACE, find_replace_dialog::ReplaceNextMatch)
    EVT_BUTTON(find_replace_dialog::ID_REPLACE_ALL, find_replace_dialog::ReplaceAll)
    EVT_BUTTON(find_replace_dialog::ID_COUNT, find_replace_dialog::CountMatches)
    EVT_BUTTON(wxID_CLOSE, find_replace_dialog::CloseDialog)
wxEND_EVENT_TABLE()

find_replace_dialog::find_replace_dialog(wxWindow* parent, bool replace)
    : wxDialog(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(kWidth, kFindHeight),
               wxDEFAULT_DIALOG_STYLE | wxFRAME_TOOL_WINDOW),
      replace_mode(replace) {
    // The controls sit at fixed places that leave room for small labels; the children inherit
    // this font.
    SetFont(GetFont().Smaller());
    CentreOnParent();
}

void find_replace_dialog::Build() {
    if (tabs_ != nullptr)
        return;
    tabs_ = new wxNotebook(this, ID_TABS, wxDefaultPosition, wxDefaultSize, 0);
    wxPanel* find_page = NewPage(tabs_);
    BuildFindTab(find_page);
    wxPanel* replace_page = NewPage(tabs_);
    BuildReplaceTab(replace_page);
    tabs_->AddPage(find_page, "Find", !replace_mode);
    tabs_->AddPage(replace_page, "Replace", replace_mode);
    SetSize(wxSize(kWidth, replace_mode ? kReplaceHeight : kFindHeight));
}

wxNotebook* find_replace_dialog::Tabs() {
    Build();
    return tabs_;
}

const find_replace_dialog::SearchTab& find_replace_dialog::FindTab() {
    Build();
    return find_tab_;
}

const find_replace_dialog::SearchTab& find_replace_dialog::ReplaceTab() {
    Build();
    return replace_tab_;
}

void find_replace_dialog::BuildFindTab(wxWindow* page) {
    new wxStaticText(page, wxID_ANY, "Criteria :", wxPoint(5, 8));
    find_tab_.criteria =
        new wxTextCtrl(page, wxID_ANY, wxEmptyString, wxPoint(80, 5), wxSize(180, 21));
    new wxButton(page, ID_FIND, "Find", wxPoint(280, 4));
    new wxButton(page, ID_COUNT, "Count", wxPoint(280, 35));
    new wxButton(page, wxID_CLOSE, "Close", wxPoint(280, 66));
    find_tab_.match_case = new wxCheckBox(page, wxID_ANY, "Match case", wxPoint(5, 40));
    find_tab_.whole_words =
        new wxCheckBox(page, wxID_ANY, "Only match whole words", wxPoint(130, 40));
    find_tab_.backwards = new wxCheckBox(page, wxID_ANY, "Search backwards", wxPoint(5, 71));
    find_tab_.regular_expressions =
        new wxCheckBox(page, wxID_ANY, "Use regular expressions", wxPoint(130, 71));
}

void find_replace_dialog::BuildReplaceTab(wxWindow* page) {
    new wxStaticText(page, wxID_ANY, "Criteria :", wxPoint(5, 8));
    new wxStaticText(page, wxID_ANY, "Replacement :", wxPoint(5, 40));
    replace_tab_.criteria =
        new wxTextCtrl(page, wxID_ANY, wxEmptyString, wxPoint(80, 5), wxSize(180, 21));
    replace_tab_.replacement =
        new wxTextCtrl(page, wxID_ANY, wxEmptyString, wxPoint(80, 37), wxSize(180, 21));
    new wxButton(page, ID_REPLACE, "Replace", wxPoint(280, 4));
    new wxButton(page, ID_REPLACE_ALL, "Replace All", wxPoint(280, 35));
    new wxButton(page, ID_COUNT, "Count", wxPoint(280, 66));
    new wxButton(page, wxID_CLOSE, "Close", wxPoint(280, 97));
    replace_tab_.match_case = new wxCheckBox(page, wxID_ANY, "Match case", wxPoint(5, 71));
    replace_tab_.whole_words =
        new wxCheckBox(page, wxID_ANY, "Only match whole words", wxPoint(130, 71));
    replace_tab_.backwards = new wxCheckBox(page, wxID_ANY, "Search backwards", wxPoint(5, 102));
    replace_tab_.regular_expressions =
        new wxCheckBox(page, wxID_ANY, "Use regular expressions", wxPoint(130, 102));
}

void find_replace_dialog::Open(snippet_stc* editor, bool replace) {
    target = editor;
    Build();
    tabs_->SetSelection(replace ? 1 : 0);
    CentreOnParent();
    SetSize(wxSize(kWidth, replace ? kReplaceHeight : kFindHeight));
    Show();
    Raise();
}

const find_replace_dialog::SearchTab& find_replace_dialog::TabInView() const {
    return tabs_->GetSelection() == 1 ? replace_tab_ : find_tab_;
}

int find_replace_dialog::SearchFlags() const {
    const SearchTab& tab = TabInView();
    int flags = 0;
    if (tab.match_case->GetValue())
        flags |= wxSTC_FIND_MATCHCASE;
    if (tab.whole_words->GetValue())
        flags |= wxSTC_FIND_WHOLEWORD;
    if (tab.regular_expressions->GetValue())
        flags |= wxSTC_FIND_REGEXP;
    return flags;
}

bool find_replace_dialog::StartSearches() {
    regex_.reset();
    const SearchTab& tab = TabInView();
    const wxString criteria = tab.criteria->GetValue();
    if (!tab.regular_expressions->GetValue() || criteria.empty())
        return true;
    regex_.emplace(text::ToUtf8(criteria).value_or(std::string()), tab.match_case->GetValue(),
                   kRegexBaseSteps + kRegexStepsPerByte * target->GetLength());
    if (regex_->Error().empty())
        return true;
    Prompts::Current().ShowMessage(
        "The regular expression is not valid: " + wxString::FromUTF8(regex_->Error()) + ".",
        Prompts::kDefaultCaption);
    return false;
}

bool find_replace_dialog::SearchStopped() const {
    if (!regex_ || !regex_->TooComplex())
        return false;
    Prompts::Current().ShowMessage(kTooComplex, Prompts::kDefaultCaption);
    return true;
}

std::optional<find_replace_dialog::Match> find_replace_dialog::Search(int from, int to) {
    const wxString criteria = TabInView().criteria->GetValue();
    const int length = target->GetLength();
    if (criteria.empty() || from < 0 || from > length)
        return std::nullopt;
    if (regex_) {
        // A forward search reads from just before its start: after a replacement the editor's
        // text is contiguous there without moving what lies before.
        const int base = to >= from ? std::max(0, from - 1) : 0;
        const RegexSearch::Text text{target->GetRangePointer(base, length - base), base, length};
        RegexSearch::Match match;
        if (regex_->Find(text, from, to, &match) != RegexSearch::Outcome::Found)
            return std::nullopt;
        return Match{match.start, match.end};
    }
    int match_end = 0;
    const int start = target->FindText(from, to, criteria, SearchFlags(), &match_end);
    if (start < 0)
        return std::nullopt;
    // A plain search selects as much as the search text is long.
    return Match{start, start + DocumentLength(criteria)};
}

std::optional<find_replace_dialog::Match> find_replace_dialog::FindNext() {
    const bool backwards = TabInView().backwards->GetValue();
    const int from = target->GetSelectionStart() + (backwards ? -1 : 1);
    const std::optional<Match> match = Search(from, backwards ? 0 : target->GetLength());
    if (match)
        target->SetSelection(match->start, match->end);
    return match;
}

void find_replace_dialog::SwitchTab(wxBookCtrlEvent& event) {
    const int old_tab = event.GetOldSelection();
    if (old_tab == wxNOT_FOUND || old_tab == event.GetSelection())
        return;
    const bool leaving_find = old_tab == 0;
    const wxSize size = GetSize();
    for (int step = 0; step < kTabSwitchSteps; ++step) {
        SetSize(wxSize(size.GetWidth(), size.GetHeight() + (leaving_find ? step : -step)));
        Update();
    }
    SetTitle(leaving_find ? "Replace" : "Find");
    replace_mode = leaving_find;
}

void find_replace_dialog::FindNextMatch(wxCommandEvent&) {
    if (!target || !StartSearches())
        return;
    FindNext();
    SearchStopped();
}

void find_replace_dialog::ReplaceNextMatch(wxCommandEvent&) {
    if (!target || !StartSearches())
        return;
    if (FindNext())
        target->ReplaceSelection(TabInView().replacement->GetValue());
    SearchStopped();
}

void find_replace_dialog::ReplaceAll(wxCommandEvent&) {
    if (!target || !StartSearches())
        return;
    const std::string replacement =
        text::ToUtf8(TabInView().replacement->GetValue()).value_or(std::string());
    const int replacement_length = static_cast<int>(replacement.size());

    int count = 0;
    // A read-only editor takes no replacement; searching on would find the same match forever.
    if (!target->GetReadOnly()) {
        target->BeginUndoAction();
        int position = 0;
        int previous_end = -1;
        while (const std::optional<Match> match = Search(position, target->GetLength())) {
            const bool empty = match->start == match->end;
            // An empty match right where the previous replacement ended belongs to that match.
            if (empty && match->start == previous_end) {
                if (match->start >= target->GetLength())
                    break;
                position = target->PositionAfter(match->start);
                continue;
            }
            target->SetTargetRange(match->start, match->end);
            target->ReplaceTargetRaw(replacement.data(), replacement_length);
            ++count;
            // Text put in by a replacement is never searched again.
            position = match->start + replacement_length;
            previous_end = position;
            // An empty match would be found again at the same place: go one character further.
            if (empty) {
                if (position >= target->GetLength())
                    break;
                position = target->PositionAfter(position);
            }
        }
        target->EndUndoAction();
        // A search stopped halfway takes back what it replaced, in one step as it was made.
        if (regex_ && regex_->TooComplex()) {
            if (count > 0)
                target->Undo();
            SearchStopped();
            return;
        }
        // As after replacing the last match in place: the caret at the end of its replacement.
        if (count > 0)
            target->SetSelection(previous_end, previous_end);
    }
    Prompts::Current().ShowMessage(wxString::Format("%d occurences replaced", count),
                                   Prompts::kDefaultCaption);
}

void find_replace_dialog::CountMatches(wxCommandEvent&) {
    if (!target || !StartSearches())
        return;
    int count = 0;
    int position = 0;
    // Each search starts one character after the last match, so overlapping matches count.
    while (const std::optional<Match> match = Search(position, target->GetLength())) {
        ++count;
        position = match->start + 1;
    }
    if (SearchStopped())
        return;
    Prompts::Current().ShowMessage(wxString::Format("%d occurences found", count),
                                   Prompts::kDefaultCaption);
}

void find_replace_dialog::CloseDialog(wxCommandEvent&) { Hide(); }
