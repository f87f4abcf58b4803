#include "clipboard/ClipTextFilter.h"
#include "clipboard/ClipEntry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

TEST(ClipTextFilter, LogsChangesAgainstTheLastLoggedTextOnly) {
    ClipTextFilter filter;
    EXPECT_EQ(filter.LastText(), "");
    std::vector<std::string> logged;
    for (const char* seen : {"A", "A", "B", "A", "a", "a ", "", "a "}) {
        if (filter.IsNew(seen)) {
            filter.Take(std::make_shared<const std::string>(seen));
            logged.push_back(seen);
        }
    }
    // Equal neighbours once; an earlier text comes back; case and blanks are differences; an
    // empty clipboard text is never logged and does not reset the last text.
    EXPECT_EQ(logged, (std::vector<std::string>{"A", "B", "A", "a", "a "}));
    EXPECT_EQ(filter.LastText(), "a ");
}

TEST(ClipTextFilter, OnlyTheValueSecretMarksAText) {
    EXPECT_TRUE(ClipTextFilter::IsSecretHint("secret"));
    EXPECT_TRUE(ClipTextFilter::IsSecretHint("secret\0"s));
    EXPECT_FALSE(ClipTextFilter::IsSecretHint(""));
    EXPECT_FALSE(ClipTextFilter::IsSecretHint("public"));
    EXPECT_FALSE(ClipTextFilter::IsSecretHint("Secret"));
    EXPECT_FALSE(ClipTextFilter::IsSecretHint("secrets"));
}

TEST(ClipEntry, ShowsTheBeginningAndKeepsTheWholeText) {
    struct Case {
        std::string bytes;
        std::string text, label, preview;
        size_t characters;
    };
    const std::string ellipsis = "\xE2\x80\xA6", fffd = "\xEF\xBF\xBD";
    const Case cases[] = {
        {"B \xE2\x9C\x93", "B \xE2\x9C\x93", "B \xE2\x9C\x93", "B \xE2\x9C\x93", 3},
        {"\n  \r\n\tfirst\tline\nsecond", "\n  \r\n\tfirst\tline\nsecond", "first line " + ellipsis,
         "\n  \r\n\tfirst\tline\nsecond", 23},
        {"trailing blanks\n \n", "trailing blanks\n \n", "trailing blanks", "trailing blanks\n \n",
         18},
        // A NUL and a byte that is not UTF-8 stay in the text as NUL and U+FFFD; the list and
        // the message show U+FFFD for the NUL.
        {"a\0b\xFF"s, "a\0b"s + fffd, "a" + fffd + "b" + fffd, "a" + fffd + "b" + fffd, 4},
    };
    for (const Case& c : cases) {
        const std::optional<ClipEntry> entry = ClipEntry::FromBytes(c.bytes);
        ASSERT_TRUE(entry);
        EXPECT_EQ(*entry->Text(), c.text);
        EXPECT_EQ(entry->Label(), c.label);
        EXPECT_EQ(entry->Preview(), c.preview);
        EXPECT_EQ(entry->Characters(), c.characters);
    }

    // Three megabytes on one line, with a byte that is not UTF-8 past the first megabyte: the
    // text is whole, the list shows 200 characters and the message 1000.
    std::string big(3 << 20, 'x');
    big[1 << 21] = '\xC3';
    std::string fixed = big;
    fixed.replace(1 << 21, 1, fffd);
    const std::optional<ClipEntry> entry = ClipEntry::FromBytes(big);
    ASSERT_TRUE(entry);
    EXPECT_EQ(*entry->Text(), fixed);
    EXPECT_EQ(entry->Characters(), big.size());
    EXPECT_EQ(entry->Label(), std::string(200, 'x') + " " + ellipsis);
    EXPECT_EQ(entry->Preview(),
              std::string(1000, 'x') + ellipsis + "\n\n(3145728 characters in all)");
    // Many short lines: the message shows twenty of them.
    std::string lines;
    for (int i = 0; i < 30; ++i)
        lines += "line\n";
    EXPECT_EQ(ClipEntry::FromBytes(lines)->Preview(),
              lines.substr(0, 100) + ellipsis + "\n\n(150 characters in all)");

    const std::atomic<bool> cancelled{true};
    EXPECT_FALSE(ClipEntry::FromBytes(big, &cancelled));
}
