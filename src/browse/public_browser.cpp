#include "browse/public_browser.h"

#include "app/Prompts.h"
#include "browse/SearchTexts.h"
#include "browse/search_results.h"
#include "editor/snippet_stc.h"
#include "storage/Database.h"
#include "storage/Statements.h"

#include <wx/aui/auibook.h>
#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

wxBEGIN_EVENT_TABLE(public_browser, panel_with_stc)
    EVT_BUTTON(public_browser::ID_SEARCH, public_browser::OnSearch)
    EVT_AUINOTEBOOK_PAGE_CHANGED(public_browser::ID_RESULTS, public_browser::OnResultPageChanged)
wxEND_EVENT_TABLE()

public_browser::public_browser(wxWindow* parent, Interface* owner, Database* connection)
    : panel_with_stc(parent), owner_(owner), connection_(connection) {
    wxArrayString languages;
    if (connection_ != nullptr) {
        connection_->Select(statements::Languages(), Fetch::Stored, [&languages](const DbRow& row) {
            languages.Add(row.Text(0));
            return true;
        });
    }
    // The empty entry, last, searches all languages.
    languages.Add(wxEmptyString);

    column_ = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxSize(200, 0));
    column_->SetBackgroundColour(wxColour(255, 255, 255, 255));

    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(new wxStaticText(column_, wxID_ANY, "\n   Language\t\t\t\t\t\t\t"), 0, 0, 0);
    language_box_ = new wxComboBox(column_, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                   wxDefaultSize, languages, wxCB_READONLY);
    column->Add(language_box_, 0, wxALIGN_CENTER_HORIZONTAL, 15);
    column->Add(new wxStaticText(column_, wxID_ANY, "\n   Title"), 0, 0, 0);
    title_box_ = new wxTextCtrl(column_, wxID_ANY);
    column->Add(title_box_, 0, wxALIGN_CENTER_HORIZONTAL, 15);
    column->Add(new wxStaticText(column_, wxID_ANY, "\n   Maximum # of Results"), 0, 0, 0);
    maximum_box_ = new wxTextCtrl(column_, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                  wxDefaultSize, 0, wxTextValidator(wxFILTER_NUMERIC));
    column->Add(maximum_box_, 0, wxALIGN_CENTER_HORIZONTAL, 15);
    column->Add(new wxStaticText(column_, wxID_ANY, " "), 0, 0, 15);
    column->Add(new wxButton(column_, ID_SEARCH, "Search", wxDefaultPosition, wxSize(100, 23)), 0,
                wxALIGN_CENTER_HORIZONTAL, 15);
    column_->SetSizer(column);
    results_ = new wxAuiNotebook(this, ID_RESULTS, wxDefaultPosition, wxDefaultSize,
                                 wxAUI_NB_DEFAULT_STYLE);

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(column_, 0, wxEXPAND | wxALL, 0);
    row->Add(results_, 2, wxEXPAND | wxALL, 1);
    SetSizer(row);
}

void public_browser::OnSearch(wxCommandEvent&) {
    wxString title = title_box_->GetValue();
    wxString language = language_box_->GetValue();
    wxString maximum = maximum_box_->GetValue();
    title.Trim(true).Trim(false);
    language.Trim(true).Trim(false);
    maximum.Trim(true).Trim(false);

    // The numeric filter stops typed letters but not pasted text, and the maximum goes into the
    // statement as it is.
    if (!search_texts::IsMaximum(maximum)) {
        Prompts::Current().ShowMessage("The maximum # of results must be a whole number, written "
                                       "with the digits 0 to 9 only, or left empty.",
                                       Prompts::kDefaultCaption);
        return;
    }

    wxString statement;
    if (connection_ != nullptr)
        statement = statements::SearchPublic(*connection_, search_texts::TitleWords(title),
                                             language, search_texts::LimitCount(maximum));
    auto* page = new search_results(results_, owner_, connection_, statement);
    results_->AddPage(page, search_texts::ResultsCaption(language, title), true);
}

void public_browser::OnResultPageChanged(wxAuiNotebookEvent&) {
    const int selected = results_->GetSelection();
    auto* page = selected == wxNOT_FOUND
                     ? nullptr
                     : dynamic_cast<search_results*>(results_->GetPage(selected));
    currentResultEditor = page ? page->Editor() : nullptr;
}
