#include "browse/SearchTexts.h"

#include "app/TextCodec.h"
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

wxString LimitCount(const wxString& maximum) {
    // The largest count a LIMIT takes; the server refuses a larger number as a syntax error.
    static const wxString kLargest = "18446744073709551615";
    // Leading zeros change nothing, for the server as here.
    const size_t first = maximum.find_first_not_of('0');
    if (first == wxString::npos)
        return maximum;
    const wxString digits = maximum.Mid(first);
    if (digits.length() > kLargest.length() ||
        (digits.length() == kLargest.length() && digits > kLargest))
        return kLargest;
    return maximum;
}

wxString ResultsCaption(const wxString& language, const wxString& title) {
    return language + " " + title;
}

wxString InformationLabel(const wxString& title, const wxString& language, const wxString& author,
                          const wxString& count) {
    return text::Displayable(" Title: " + title + "    Language: " + language +
                             "    Author: " + author + "        (" + count + " view" +
                             (count == "1" ? "" : "s") + ")");
}

wxString SearchFailedLabel(const wxString& why) {
    return text::Displayable(" The search could not be run: " + why);
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
