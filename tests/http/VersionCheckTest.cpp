#include "update/VersionCheck.h"

#include "app/TextCodec.h"
#include "support/HttpService.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionCheckTest, OnlyATwoHundredReplyThatDiffersAnnouncesAVersion) {
    UpdateAnswers answers;
    EXPECT_EQ(update::VersionUrl(), answers.BaseUrl() + "/app-ext/version.php?os=linux");
    EXPECT_EQ(update::DownloadUrl(), answers.BaseUrl() + "/download.php");

    EXPECT_FALSE(update::AnotherVersionPublished()); // 404: nothing published for linux
    answers.SetVersion("2.2.0-win", "win");
    EXPECT_FALSE(update::AnotherVersionPublished()); // still only for another system
    answers.SetVersion("2.1.1a-linux");
    EXPECT_FALSE(update::AnotherVersionPublished());
    answers.SetVersion("2.1.1a-linux\n");
    EXPECT_TRUE(update::AnotherVersionPublished());
    answers.SetVersion("2.1.1A-linux");
    EXPECT_TRUE(update::AnotherVersionPublished());
    answers.SetVersion("");
    EXPECT_TRUE(update::AnotherVersionPublished());

    ScopedEnv refused("CORVANE_UPDATE_HOST", RefusingHost());
    EXPECT_FALSE(update::AnotherVersionPublished());
}

TEST(VersionCheckTest, ChangelogShowsItsFirstThousandBytesWithoutBrokenCharacters) {
    UpdateAnswers answers;
    answers.SetChangelog("line one\nline two\n");
    EXPECT_EQ(update::FetchChangelog(), "line one\nline two\n");

    answers.SetChangelog(std::string(1500, 'a'));
    EXPECT_EQ(update::FetchChangelog(), wxString(1000, 'a'));

    // "é" takes bytes 1000 and 1001: the half that was read is dropped, not shown as garbage.
    answers.SetChangelog(std::string(999, 'a') + "\xC3\xA9 and more");
    EXPECT_EQ(update::FetchChangelog(), wxString(999, 'a'));
    // A character that ends exactly at the limit stays.
    answers.SetChangelog(std::string(998, 'a') + "\xC3\xA9 and more");
    EXPECT_EQ(update::FetchChangelog(), wxString(998, 'a') + wxString::FromUTF8("\xC3\xA9"));

    // Bytes that are not UTF-8 show as replacement characters; the rest of the text stays.
    answers.SetChangelog("fixed \xFF\xFE crash\n");
    const wxString broken = update::FetchChangelog();
    EXPECT_TRUE(broken.StartsWith("fixed ")) << broken;
    EXPECT_TRUE(broken.EndsWith(" crash\n")) << broken;
    EXPECT_NE(broken.Find(wxUniChar(0xFFFD)), wxNOT_FOUND) << broken;

    ScopedEnv refused("CORVANE_UPDATE_HOST", RefusingHost());
    EXPECT_EQ(update::FetchChangelog(), "");
}

TEST(VersionCheckTest, OnlyACutAtTheLimitDropsAnIncompleteCharacter) {
    const std::string euro = "\xE2\x82\xAC";
    const std::string clef = "\xF0\x9D\x84\x9E";
    EXPECT_EQ(update::DecodeChangelog("ab" + euro.substr(0, 2), true), "ab");
    EXPECT_EQ(update::DecodeChangelog("ab" + clef.substr(0, 3), true), "ab");
    EXPECT_EQ(update::DecodeChangelog("ab" + clef, true), text::FromUtf8("ab" + clef));
    // A text that itself ends broken (not cut by us), and stray continuation bytes at a cut,
    // keep a visible replacement after the intact text.
    const wxUniChar replacement(0xFFFD);
    for (const wxString& decoded : {update::DecodeChangelog("ab" + euro.substr(0, 2), false),
                                    update::DecodeChangelog("ab\x80\x80", true)}) {
        EXPECT_TRUE(decoded.StartsWith("ab")) << decoded;
        EXPECT_NE(decoded.Find(replacement), wxNOT_FOUND) << decoded;
    }
}

} // namespace
