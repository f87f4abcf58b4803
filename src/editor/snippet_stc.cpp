#include "editor/snippet_stc.h"

#include "app/TextCodec.h"
#include "editor/EditorStyle.h"
#include "editor/Languages.h"

namespace {

wxColour ToColour(const editor_style::Rgb& rgb) { return wxColour(rgb.red, rgb.green, rgb.blue); }

wxFont CodeFont() {
    using namespace editor_style;
    return wxFont(kFontPoints, wxFONTFAMILY_MODERN, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false,
                  wxEmptyString, wxFONTENCODING_DEFAULT);
}

void Paint(wxStyledTextCtrl& editor, int style, const editor_style::StyleColours& colours) {
    if (colours.foreground)
        editor.StyleSetForeground(style, ToColour(*colours.foreground));
    if (colours.background)
        editor.StyleSetBackground(style, ToColour(*colours.background));
    if (colours.bold)
        editor.StyleSetBold(style, true);
}

} // namespace

snippet_stc::snippet_stc(wxWindow* parent)
    : wxStyledTextCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0) {
    using namespace editor_style;
    SetMarginType(kLineNumberMargin, wxSTC_MARGIN_NUMBER);
    SetIndentationGuides(wxSTC_IV_REAL);
    SetBackSpaceUnIndents(false);
    SetIndent(kIndent);

    // The toolkit's StyleSetFont measures a text with the font each time it is called; once is
    // enough, the other styles take the same attributes straight.
    const wxFont font = CodeFont();
    StyleSetFont(0, font);
    const wxString face = font.GetFaceName();
    for (int style = 1; style <= kLastFontStyle; ++style)
        StyleSetFontAttr(style, font.GetPointSize(), face, font.GetWeight() == wxFONTWEIGHT_BOLD,
                         font.GetStyle() != wxFONTSTYLE_NORMAL, font.GetUnderlined(),
                         font.GetEncoding());
    SetMarginWidth(kLineNumberMargin, kLineNumberMarginWidth);
    ColourAsCpp();
}

void snippet_stc::ColourAsCpp() {
    for (const editor_style::StyleColours& colours : editor_style::Colours())
        Paint(*this, colours.style, colours);
    SetLexer(editor_style::kLexerCpp);
    SetKeyWords(0, editor_style::Keywords());
}

wxString snippet_stc::ColouredAs() const {
    return colouring_ != nullptr ? wxString::FromUTF8(colouring_->name) : wxString();
}

void snippet_stc::ColourAs(const wxString& name) {
    const languages::Language* language = languages::Find(name);
    if (language == colouring_)
        return;
    Uncolour();
    colouring_ = language;
    if (language == nullptr) {
        ColourAsCpp();
    } else {
        SetLexer(language->lexer);
        for (const languages::KeywordSet& set : language->keywords)
            SetKeyWords(set.set, set.words);
        const wxFont font = CodeFont();
        for (const languages::StyleToken& style : language->styles) {
            // Styles above those every editor sets the font of (PHP's) need it too.
            if (style.style > editor_style::kLastFontStyle)
                StyleSetFont(style.style, font);
            Paint(*this, style.style, languages::Colours(style.token));
        }
    }
    // A new lexer leaves the text styled by the old one until told to style it again.
    Colourise(0, -1);
}

void snippet_stc::Uncolour() {
    // The look of a style no colouring touched: the default style's, which has the font of the
    // first styles; above those, the last style's, which nothing touches.
    const auto plain = [this](int style) {
        const int model =
            style > editor_style::kLastFontStyle ? wxSTC_STYLE_MAX : wxSTC_STYLE_DEFAULT;
        StyleSetForeground(style, StyleGetForeground(model));
        StyleSetBackground(style, StyleGetBackground(model));
        StyleSetWeight(style, StyleGetWeight(model));
        if (model == wxSTC_STYLE_MAX) {
            StyleSetFaceName(style, StyleGetFaceName(model));
            StyleSetSizeFractional(style, StyleGetSizeFractional(model));
            StyleSetItalic(style, StyleGetItalic(model));
            StyleSetUnderline(style, StyleGetUnderline(model));
            StyleSetCharacterSet(style, StyleGetCharacterSet(model));
        }
    };
    if (colouring_ == nullptr) {
        // The brace styles belong to no language and stay.
        for (const editor_style::StyleColours& colours : editor_style::Colours()) {
            if (colours.style < wxSTC_STYLE_DEFAULT)
                plain(colours.style);
        }
        SetKeyWords(0, wxEmptyString);
        return;
    }
    for (const languages::StyleToken& style : colouring_->styles)
        plain(style.style);
    for (const languages::KeywordSet& set : colouring_->keywords)
        SetKeyWords(set.set, wxEmptyString);
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
