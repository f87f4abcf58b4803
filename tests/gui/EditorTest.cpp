#include "gui/GuiFixture.h"

#include "editor/snippet_stc.h"

TEST_F(GuiTest, EditorUsesTheCppLexer) {
    OpenFrame();
    ASSERT_NE(Editor(0), nullptr);
    EXPECT_EQ(Editor(0)->GetLexer(), 3);
}
