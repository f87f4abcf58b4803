#include "editor/Languages.h"
#include "storage/LocalStore.h"

#include <gtest/gtest.h>

#include <wx/filefn.h>
#include <wx/tokenzr.h>

#include <set>
#include <utility>

namespace {
const char* ColouredAs(const wxString& name) {
    const languages::Language* row = languages::Find(name);
    return row ? row->name : "C/C++";
}
} // namespace

TEST(Languages, NamesAndAliasesChooseTheirRowWhateverCaseAndBlanks) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"Python", "Python"},
        {"py", "Python"},
        {" Python 3 ", "Python"},
        {"BASH", "Shell"},
        {"sh", "Shell"},
        {"MySQL", "SQL"},
        {"JS", "JavaScript"},
        {"TypeScript", "TypeScript"},
        {"c#", "C#"},
        {"CSharp", "C#"},
        {"golang", "Go"},
        {"yml", "YAML"},
        {"makefile", "Makefile"},
        {"md", "Markdown"},
        {"patch", "Diff"},
        // What keeps the C/C++ setup: C, C++, nothing, and names the table does not hold whole.
        {"", "C/C++"},
        {"  ", "C/C++"},
        {"C", "C/C++"},
        {"c++", "C/C++"},
        {"Cobol", "C/C++"},
        {"pyth", "C/C++"},
        {"python shell", "C/C++"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_STREQ(ColouredAs(name), expected) << '"' << name << '"';
}

TEST(Languages, EveryRowIsChosenByItsOwnNameAndNoNameChoosesTwoRows) {
    std::set<wxString> seen;
    for (const languages::Language& row : languages::Table()) {
        EXPECT_EQ(languages::Find(row.name), &row) << row.name;
        for (const wxString& name : wxStringTokenize(row.names, " ", wxTOKEN_RET_EMPTY_ALL)) {
            EXPECT_EQ(name, name.Lower()) << row.name;
            EXPECT_FALSE(name.empty()) << row.name;
            EXPECT_TRUE(seen.insert(name).second) << name << " chooses two rows";
        }
    }
}

TEST(LocalStore, LanguageOfAPathIsTheNameOfItsLanguageDirectory) {
    const wxString here = wxGetCwd();
    const std::vector<std::pair<wxString, wxString>> cases = {
        {"./snippets/Python/hello", "Python"},
        {"./snippets/Python/deeper/hello", "Python"},
        {"snippets/Go/main", "Go"},
        {here + "/snippets/Ruby/gem", "Ruby"},
        {"./snippets/downloads/Lua/game", "Lua"},
        {"./snippets/hello", ""},
        {"./snippets/downloads/hello", ""},
        {"./snippets/../elsewhere/Python/hello", ""},
        {"/no-such-root/snippets/Python/hello", ""},
        {"", ""},
    };
    for (const auto& [path, language] : cases)
        EXPECT_EQ(local_store::LanguageOfPath(path), language) << path;
}
