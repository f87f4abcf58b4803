#include "gui/GuiFixture.h"

#include "app/CorvaneFrame.h"

#include <wx/menu.h>

TEST_F(GuiTest, MenuBarTitlesInOrder) {
    OpenFrame();
    wxMenuBar* bar = frame_->GetMenuBar();
    ASSERT_NE(bar, nullptr);
    std::vector<wxString> titles;
    for (size_t i = 0; i < bar->GetMenuCount(); ++i)
        titles.push_back(bar->GetMenuLabel(i));
    EXPECT_EQ(titles, (std::vector<wxString>{"&File", "&Edit", "&View", "&Account", "&Help"}));
}
