#include "editor/EditorStyle.h"

#include <gtest/gtest.h>

#include <wx/tokenzr.h>

TEST(EditorStyle, KeywordListHasFiftyOneWordsWithUsingTwice) {
    const wxString& keywords = editor_style::Keywords();
    const wxArrayString words = wxStringTokenize(keywords, " ", wxTOKEN_STRTOK);
    EXPECT_EQ(words.size(), 51u);
    EXPECT_EQ(std::count(words.begin(), words.end(), wxString("using")), 2);
    EXPECT_TRUE(keywords.StartsWith("auto bool break "));
    EXPECT_TRUE(keywords.Contains("volatile while catch class friend"));
    EXPECT_TRUE(keywords.EndsWith(" throw try using"));
    EXPECT_EQ(keywords.Find("  "), wxNOT_FOUND);
}
