#include "editor/snippet_stc.h"

#include "app/TextCodec.h"
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

wxString snippet_stc::SnippetText() {
    const wxCharBuffer bytes = GetTextRaw();
    return text::FromUtf8(std::string_view(bytes.data(), bytes.length()));
}

void snippet_stc::SetSnippetText(const wxString& text) {
    ClearAll();
    AppendSnippetText(text);
}

void snippet_stc::AppendSnippetText(const wxString& text) {
    // A text UTF-8 cannot carry has no place in the document; such texts never come from outside.
    const std::optional<std::string> bytes = text::ToUtf8(text);
    if (bytes && !bytes->empty())
        AppendTextRaw(bytes->data(), static_cast<int>(bytes->size()));
}
