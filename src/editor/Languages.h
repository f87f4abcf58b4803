#pragma once

#include "editor/EditorStyle.h"

#include <wx/string.h>

#include <vector>

// The languages the editor colours besides C/C++: which names choose each, the styled-text
// control's lexer for it, its keyword lists, and which of the lexer's styles show which kind of
// token. C, C++, an empty name and every name not in the table keep the C/C++ setup of
// editor_style.
namespace languages {

// A kind of token, named by the C/C++ style whose colours it takes: every language shows its
// comments, strings, keywords... exactly as C/C++ shows its own.
enum Token : int {
    kComment = 1,
    kDocComment = 3,
    kNumber = 4,
    kKeyword = 5,
    kString = 6,
    kCharacter = 7,
    kPreprocessor = 9,
    kOperator = 10,
    kIdentifier = 11,
};

struct StyleToken {
    int style; // a style number of the language's lexer
    Token token;
};

struct KeywordSet {
    int set; // the lexer's keyword set number
    const char* words;
};

struct Language {
    const char* name;
    // Every name that chooses the row, lower case without blanks, separated by one space.
    const char* names;
    int lexer;
    std::vector<KeywordSet> keywords;
    std::vector<StyleToken> styles;
};

// Every row, in the order of the table.
const std::vector<Language>& Table();

// The row of a language name, compared without case and blanks ("Python 3" is "python3"); null
// for a name that keeps the C/C++ setup.
const Language* Find(const wxString& name);

// The colours and weight a kind of token is shown with.
const editor_style::StyleColours& Colours(Token token);

} // namespace languages
