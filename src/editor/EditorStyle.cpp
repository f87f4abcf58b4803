#include "editor/EditorStyle.h"

namespace editor_style {

const wxString& Keywords() {
    // Built once and shared by all editors.
    static const wxString keywords =
        wxString("auto bool break case char const continue default delete do double else enum "
                 "extern false float for goto if int long new register return short signed sizeof "
                 "static struct switch true typedef union unsigned using void volatile while") +
        " catch class friend inline namespace private protected public template this throw try "
        "using";
    return keywords;
}

const std::vector<StyleColours>& Colours() {
    static const std::vector<StyleColours> colours = {
        {1, Rgb{140, 140, 140}, std::nullopt, false},    // block comment
        {2, Rgb{140, 140, 140}, std::nullopt, false},    // line comment
        {3, Rgb{0, 140, 0}, std::nullopt, false},        // documentation comment
        {4, Rgb{255, 0, 255}, std::nullopt, false},      // number
        {5, Rgb{0, 0, 190}, std::nullopt, true},         // keyword
        {6, Rgb{0, 0, 255}, std::nullopt, false},        // string
        {7, Rgb{255, 165, 0}, std::nullopt, false},      // character
        {9, Rgb{0, 140, 0}, std::nullopt, false},        // preprocessor
        {10, Rgb{255, 0, 0}, std::nullopt, false},       // operator
        {11, Rgb{20, 20, 20}, std::nullopt, false},      // identifier
        {34, std::nullopt, Rgb{0, 40, 255}, false},      // matching brace
        {35, Rgb{255, 255, 255}, Rgb{255, 0, 0}, false}, // unmatched brace
    };
    return colours;
}

} // namespace editor_style
