#include "clipboard/ClipTextFilter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

TEST(ClipTextFilter, LogsChangesAgainstTheLastLoggedTextOnly) {
    ClipTextFilter filter;
    EXPECT_EQ(filter.LastText(), "");
    std::vector<wxString> logged;
    for (const char* seen : {"A", "A", "B", "A", "a", "a ", "", "a "}) {
        if (filter.Accept(seen))
            logged.push_back(seen);
    }
    // Equal neighbours once; an earlier text comes back; case and blanks are differences; an
    // empty clipboard text is never logged and does not reset the last text.
    EXPECT_EQ(logged, (std::vector<wxString>{"A", "B", "A", "a", "a "}));
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
