#include "browse/SearchTexts.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<wxString>;
using namespace search_texts;

// Stop words, empty words and the worked example are checked on the statement itself.
TEST(SearchTextsTest, TitleWordsCountCharactersAndSplitOnlyAtBlanks) {
    EXPECT_EQ(TitleWords("The A x\ty"), (Words{"The", "A", "x\ty"}));
    EXPECT_EQ(TitleWords("1234567 12345678"), (Words{"1234567", "234567"}));
    // "déjà-vu" has 7 characters in 9 bytes and stays whole; "déjà-vus" has 8.
    EXPECT_EQ(TitleWords(wxString::FromUTF8("d\xC3\xA9j\xC3\xA0-vu d\xC3\xA9j\xC3\xA0-vus")),
              (Words{wxString::FromUTF8("d\xC3\xA9j\xC3\xA0-vu"),
                     wxString::FromUTF8("\xC3\xA9j\xC3\xA0-vu")}));
}

TEST(SearchTextsTest, MaximumIsDigitsOrNothing) {
    for (const char* maximum : {"", "0", "10", "007"})
        EXPECT_TRUE(IsMaximum(maximum)) << maximum;
    for (const char* maximum :
         {"1 UNION SELECT password FROM users", "-1", "1e3", "1.5", "+2", "10,20", "1 ", "0x10"})
        EXPECT_FALSE(IsMaximum(maximum)) << maximum;
    EXPECT_FALSE(IsMaximum(wxString::FromUTF8("\xEF\xBC\x91"))); // fullwidth 1
}

TEST(SearchTextsTest, MaximumBeyondTheServersRangeAsksForEveryRow) {
    for (const char* typed : {"", "007", "000", "18446744073709551615", "0018446744073709551615"})
        EXPECT_EQ(LimitCount(typed), typed);
    for (const char* beyond :
         {"18446744073709551616", "99999999999999999999999999", "100000000000000000000"})
        EXPECT_EQ(LimitCount(beyond), "18446744073709551615") << beyond;
}

TEST(SearchTextsTest, DownloadNamesStayInsideTheDownloadsDirectory) {
    EXPECT_EQ(DownloadDirectory("Ruby"), "./snippets/downloads/Ruby/");
    EXPECT_EQ(DownloadFileName("Quick sort"), "Quick sort.snippet");
    EXPECT_EQ(DownloadDirectory("../../x"), "./snippets/downloads/.._.._x/");
    EXPECT_EQ(DownloadDirectory(".."), "./snippets/downloads/__/");
    EXPECT_EQ(DownloadDirectory("."), "./snippets/downloads/_/");
    EXPECT_EQ(DownloadDirectory("Shell/Batch"), "./snippets/downloads/Shell_Batch/");
    EXPECT_EQ(DownloadFileName("..\\..\\evil"), ".._.._evil.snippet");
    EXPECT_EQ(DownloadFileName("/etc/passwd"), "_etc_passwd.snippet");
    wxString with_nul = "a";
    with_nul += wxUniChar(0);
    with_nul += "b";
    EXPECT_EQ(DownloadFileName(with_nul), "a_b.snippet");
    // Dots inside a name are harmless and kept.
    EXPECT_EQ(SafeName("v1.2..3"), "v1.2..3");
    EXPECT_EQ(SafeName("..."), "...");
}

} // namespace
