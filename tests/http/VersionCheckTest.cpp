#include "update/VersionCheck.h"

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
    answers.SetChangelog(std::string(998, 'a') + "\xF0\x9D\x84\x9E"); // four bytes, two read
    EXPECT_EQ(update::FetchChangelog(), wxString(998, 'a'));
    // A character that ends exactly at the limit stays.
    answers.SetChangelog(std::string(998, 'a') + "\xC3\xA9 and more");
    EXPECT_EQ(update::FetchChangelog(), wxString(998, 'a') + wxString::FromUTF8("\xC3\xA9"));

    // Bytes that are not UTF-8 show as replacement characters; the rest of the text stays.
    answers.SetChangelog("fixed \xFF\xFE crash\n");
    const wxString broken = update::FetchChangelog();
    EXPECT_TRUE(broken.StartsWith("fixed ")) << broken;
    EXPECT_TRUE(broken.EndsWith(" crash\n")) << broken;
    EXPECT_NE(broken.Find(wxUniChar(0xFFFD)), wxNOT_FOUND) << broken;
    // A NUL too: the text field would refuse the whole text.
    answers.SetChangelog(std::string("before\0after", 12));
    EXPECT_EQ(update::FetchChangelog(), wxString::FromUTF8("before\xEF\xBF\xBD"
                                                           "after"));

    ScopedEnv refused("CORVANE_UPDATE_HOST", RefusingHost());
    EXPECT_EQ(update::FetchChangelog(), "");
}

} // namespace
