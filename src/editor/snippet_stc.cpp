#include "editor/snippet_stc.h"

#include "editor/EditorStyle.h"

namespace {
wxColour ToColour(const editor_style::Rgb& rgb) { return wxColour(rgb.red, rgb.green, rgb.blue); }
} // namespace

snippet_stc::snippet_stc(wxWindow* parent)
    : wxStyledTextCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0) {
    using namespace editor_style;
    SetMarginType(kLineNumberMargin, wxSTC_MARGIN_NUMBER);
    SetIndentationGuides(wxSTC_IV_REAL);
    SetBackSpaceUnIndents(false);
    SetIndent(kIndent);

    const wxFont font(kFontPoints, wxFONTFAMILY_MODERN, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL,
                      false, wxEmptyString, wxFONTENCODING_DEFAULT);
    for (int style = 0; style <= kLastFontStyle; ++style)
        StyleSetFont(style, font);

    for (const StyleColours& colours : Colours()) {
        if (colours.foreground)
            StyleSetForeground(colours.style, ToColour(*colours.foreground));
        if (colours.background)
            StyleSetBackground(colours.style, ToColour(*colours.background));
        if (colours.bold)
            StyleSetBold(colours.style, true);
    }

    SetMarginWidth(kLineNumberMargin, kLineNumberMarginWidth);
    SetLexer(kLexerCpp);
    SetKeyWords(0, Keywords());
}

snippet_stc::~snippet_stc() = default;
