#include "app/CaptionNumbering.h"

#include <gtest/gtest.h>

TEST(CaptionNumbering, CountsCaptionsThatBeginWithTheTitle) {
    EXPECT_EQ(NumberedCaption("New Snippet", {}), "New Snippet");
    EXPECT_EQ(NumberedCaption("New Snippet", {"New Snippet"}), "New Snippet 2");
    EXPECT_EQ(NumberedCaption("New Snippet", {"New Snippet", "New Snippet 2"}), "New Snippet 3");
    // After "New Snippet 2" closed, two matching captions remain: the next is "3" again.
    EXPECT_EQ(NumberedCaption("New Snippet", {"New Snippet", "New Snippet 3"}), "New Snippet 3");
}

TEST(CaptionNumbering, PrefixTestIsCaseSensitiveAndCountsLongerCaptions) {
    EXPECT_EQ(NumberedCaption("Sort", {"Sorting"}), "Sort 2");
    EXPECT_EQ(NumberedCaption("Sort", {"sorting", "SORT"}), "Sort");
    EXPECT_EQ(NumberedCaption("Sort", {"Quick Sort"}), "Sort");
}
