#include "gui/GuiFixture.h"

#include "editor/panel_with_stc.h"

TEST_F(GuiTest, StartsWithOneNewSnippetPage) {
    OpenFrame();
    ASSERT_EQ(PageCount(), 1u);
    EXPECT_EQ(Caption(0), "New Snippet");
    EXPECT_EQ(Page(0)->kind, "new-snippet");
    EXPECT_EQ(Selection(), 0);
}
