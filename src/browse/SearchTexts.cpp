#include "browse/SearchTexts.h"

#include "storage/LocalStore.h"
#include "storage/Statements.h"

namespace search_texts {

namespace {

bool IsStopWord(const wxString& word) {
    return word == "a" || word == "the" || word == "in" || word == "of" || word == "at";
}

} // namespace

std::vector<wxString> TitleWords(const wxString& title) {
    std::vector<wxString> words;
    wxString word;
    const auto finish = [&] {
        if (!word.empty() && !IsStopWord(word)) {
            if (word.length() >= 8)
                words.push_back(word.Mid(1, word.length() - 2));
            else
                words.push_back(word);
        }
        word.clear();
    };
    for (const wxUniChar c : title) {
        if (c == ' ')
            finish();
        else
            word += c;
    }
    finish();
    return words;
}

bool IsMaximum(const wxString& maximum) { return maximum.empty() || statements::IsId(maximum); }

wxString ResultsCaption(const wxString& language, const wxString& title) {
    return language + " " + title;
}

wxString InformationLabel(const wxString& title, const wxString& language, const wxString& author,
                          const wxString& count) {
    return " Title: " + title + "    Language: " + language + "    Author: " + author +
           "        (" + count + " view" + (count == "1" ? "" : "s") + ")";
}

wxString SafeName(const wxString& name) {
    if (name == ".")
        return "_";
    if (name == "..")
        return "__";
    wxString safe;
    safe.reserve(name.length());
    for (const wxUniChar c : name)
        safe += (c == '/' || c == '\\' || c == 0) ? wxUniChar('_') : c;
    return safe;
}

wxString DownloadDirectory(const wxString& language) {
    return wxString(local_store::kDownloads) + SafeName(language) + "/";
}

wxString DownloadFileName(const wxString& title) { return SafeName(title) + ".snippet"; }

} // namespace search_texts
