#include "app/TextCodec.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace std::string_literals;

TEST(TextCodec, RoundTripsEveryPlaneWithEmbeddedNuls) {
    const std::string bytes = "it's \\ % _ \0 caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 end"s;
    const wxString decoded = text::FromUtf8(bytes);
    EXPECT_EQ(decoded.length(), 25u); // the NUL and each multi-byte character count once
    EXPECT_EQ(decoded[5], wxUniChar(0x5C));
    EXPECT_EQ(decoded[11], wxUniChar(0));
    const auto encoded = text::ToUtf8(decoded);
    ASSERT_TRUE(encoded.has_value());
    EXPECT_EQ(*encoded, bytes);
}

TEST(TextCodec, InvalidUtf8BecomesReplacementCharacters) {
    // A lone continuation byte, a truncated sequence, an overlong slash and an encoded surrogate.
    const wxString decoded = text::FromUtf8("a\x80"
                                            "b\xC3"
                                            "c\xC0\xAF"
                                            "d\xED\xA0\x80"
                                            "e");
    EXPECT_EQ(decoded, wxString::FromUTF8("a\xEF\xBF\xBD"
                                          "b\xEF\xBF\xBD"
                                          "c\xEF\xBF\xBD\xEF\xBF\xBD"
                                          "d\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                                          "e"));
    EXPECT_FALSE(text::IsValidUtf8("a\x80"));
    EXPECT_TRUE(text::IsValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(TextCodec, LoneSurrogateCannotBeEncoded) {
    wxString value = "ok";
    value += wxUniChar(0xD800);
    EXPECT_FALSE(text::ToUtf8(value).has_value());
}

TEST(TextCodec, PathBytesSurviveEvenWhenNotUtf8) {
    const std::string latin1_name = "caf\xE9 \xC3\xA9";
    const wxString path = text::FromPathBytes(latin1_name);
    EXPECT_EQ(text::ToPathBytes(path), latin1_name);
    // For display the stray byte shows as a replacement character, the valid part as itself.
    EXPECT_EQ(text::FromUtf8(latin1_name), wxString::FromUTF8("caf\xEF\xBF\xBD \xC3\xA9"));
}

TEST(TextCodec, EachSequenceLengthEndsAndBeginsWhereUtf8Says) {
    const std::vector<std::pair<wxUniChar::value_type, std::string>> edges = {
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xD7FF, "\xED\x9F\xBF"},
        {0xE000, "\xEE\x80\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& [code, bytes] : edges) {
        const wxString character(wxUniChar(code), 1);
        EXPECT_EQ(text::ToUtf8("<" + character + ">"), "<" + bytes + ">") << std::hex << code;
        const wxString decoded = text::FromUtf8("<" + bytes + ">");
        EXPECT_EQ(decoded, "<" + character + ">") << std::hex << code;
        EXPECT_TRUE(text::IsValidUtf8(bytes)) << std::hex << code;
        EXPECT_EQ(text::ToPathBytes(text::FromPathBytes(bytes)), bytes) << std::hex << code;
    }
    // One past the last code point has no UTF-8 form, and the sequence that would carry it is
    // not UTF-8.
    EXPECT_FALSE(text::ToUtf8(wxString(wxUniChar(0x110000), 1)));
    EXPECT_FALSE(text::IsValidUtf8("\xF4\x90\x80\x80"));
}
