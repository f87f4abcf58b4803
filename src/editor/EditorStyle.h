#pragma once

#include <wx/string.h>

#include <optional>
#include <vector>

// How every snippet editor colours C/C++: the keyword list and the per-style colours.
namespace editor_style {

struct Rgb {
    unsigned char red, green, blue;
};

struct StyleColours {
    int style;
    std::optional<Rgb> foreground;
    std::optional<Rgb> background;
    bool bold;
};

// The keyword list of keyword set 0: 51 space-separated words ("using" occurs twice).
const wxString& Keywords();

// The styles that get their own colours, in the order they are applied.
const std::vector<StyleColours>& Colours();

constexpr int kLexerCpp = 3;
constexpr int kFontPoints = 10;
constexpr int kLastFontStyle = 99;
constexpr int kLineNumberMargin = 1;
constexpr int kLineNumberMarginWidth = 40;
constexpr int kIndent = 4;

} // namespace editor_style
