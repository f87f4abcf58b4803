// The public search's texts from user input and other users' rows: the title words that become
// LIKE patterns, the check of the maximum that goes into the statement unquoted, and the names a
// download is proposed under. Input: title, maximum, language, separated by 0xFF bytes.
#include "app/TextCodec.h"
#include "browse/SearchTexts.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<wxString> Fields(const uint8_t* data, size_t size) {
    std::vector<wxString> fields(1);
    std::string field;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF) {
            fields.back() = text::FromUtf8(field);
            fields.emplace_back();
            field.clear();
        } else {
            field += static_cast<char>(data[i]);
        }
    }
    fields.back() = text::FromUtf8(field);
    fields.resize(3);
    return fields;
}

bool AllDigits(const wxString& value) {
    for (const wxUniChar c : value) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// A name that stays one entry of the directory it is put in.
bool IsOneEntry(const wxString& name) {
    return !name.Contains("/") && !name.Contains("\\") && name.Find(wxUniChar(0)) == wxNOT_FOUND &&
           name != "." && name != "..";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<wxString> fields = Fields(data, size);
    const wxString& title = fields[0];
    const wxString& maximum = fields[1];
    const wxString& language = fields[2];

    for (const wxString& word : search_texts::TitleWords(title)) {
        FUZZ_CHECK(!word.empty());
        FUZZ_CHECK(!word.Contains(" "));
        FUZZ_CHECK(title.Contains(word));
        for (const char* stop : {"a", "the", "in", "of", "at"})
            FUZZ_CHECK(word != stop);
    }
    // Only digits ever stand unquoted in the statement.
    FUZZ_CHECK(search_texts::IsMaximum(maximum) == AllDigits(maximum));

    for (const wxString& name : {title, language})
        FUZZ_CHECK(IsOneEntry(search_texts::SafeName(name)));
    const wxString directory = search_texts::DownloadDirectory(language);
    FUZZ_CHECK(directory.StartsWith("./snippets/downloads/") && directory.EndsWith("/"));
    const wxString below = directory.Mid(21).BeforeLast('/');
    FUZZ_CHECK(below.empty() || IsOneEntry(below));
    const wxString file = search_texts::DownloadFileName(title);
    FUZZ_CHECK(file.EndsWith(".snippet") && IsOneEntry(file));

    FUZZ_CHECK(search_texts::ResultsCaption(language, title) == language + " " + title);
    search_texts::InformationLabel(title, language, maximum, maximum);
    return 0;
}
