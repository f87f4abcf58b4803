#include "gui/GuiFixture.h"

#include "app/CorvaneFrame.h"
#include "app/Interface.h"
#include "support/HttpService.h"
#include "update/UpdateCheck.h"
#include "update/auto_update.h"

#include <wx/button.h>
#include <wx/menu.h>
#include <wx/stopwatch.h>
#include <wx/textctrl.h>

// Last: X's headers define names (None, Status) that would clash with the ones above.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

namespace {

using Strings = std::vector<wxString>;
using namespace std::string_literals;

// Where the X server stacks a top-level window among the root's children: higher is in front.
int StackingPlace(wxTopLevelWindow* window) {
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    const ::Window wanted = gdk_x11_window_get_xid(gtk_widget_get_window(window->GetHandle()));
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    int place = -1;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            if (children[i] == wanted)
                place = static_cast<int>(i);
        }
        XFree(children);
    }
    return place;
}

// The start-up version check and the update window, against update-service answers of the
// test's own on the private nginx.
class UpdateTest : public GuiTest {
protected:
    void TearDown() override {
        for (auto_update* window : Windows())
            window->Destroy();
        GuiTest::TearDown();
    }

    // The update windows that are open.
    static std::vector<auto_update*> Windows() {
        std::vector<auto_update*> windows;
        for (wxWindow* window : wxTopLevelWindows) {
            auto* update = dynamic_cast<auto_update*>(window);
            if (update != nullptr && !update->IsBeingDeleted())
                windows.push_back(update);
        }
        return windows;
    }
    static wxString Changelog(auto_update* window) {
        for (wxWindow* child : window->GetChildren()) {
            if (auto* text = dynamic_cast<wxTextCtrl*>(child))
                return text->GetValue();
        }
        return "(no text field)";
    }
    static void Press(auto_update* window, int id) {
        wxWindow* button = window->FindWindow(id);
        ASSERT_NE(button, nullptr);
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(button);
        button->ProcessWindowEvent(click);
    }
    Strings MenuTitles() const {
        Strings titles;
        const wxMenuBar* bar = frame_->GetMenuBar();
        for (size_t i = 0; i < bar->GetMenuCount(); ++i)
            titles.push_back(bar->GetMenuLabel(i));
        return titles;
    }
    // Runs the check as start-up does and waits until its answer has been dealt with.
    std::shared_ptr<UpdateCheck> Check() {
        auto check = UpdateCheck::Start(frame_);
        EXPECT_TRUE(PumpUntil([&check] { return check->Done(); }, 8000));
        return check;
    }
};

TEST_F(UpdateTest, CurrentVersionErrorPageOrNoServiceAnnounceNothing) {
    UpdateAnswers answers;
    OpenFrame();
    const Strings menus = MenuTitles();
    answers.SetVersion("2.1.1a-linux");
    EXPECT_FALSE(Check()->Announced());
    {
        // A version for another system only: the service answers 404 with a page of its own.
        UpdateAnswers other;
        other.SetVersion("2.2.0-win", "win");
        other.SetChangelog("not shown");
        EXPECT_FALSE(Check()->Announced());
    }
    {
        ScopedEnv refused("CORVANE_UPDATE_HOST", RefusingHost());
        EXPECT_FALSE(Check()->Announced());
    }
    EXPECT_TRUE(Windows().empty());
    EXPECT_EQ(MenuTitles(), menus);
    EXPECT_TRUE(frame_->IsEnabled());
}

TEST_F(UpdateTest, AnotherVersionOpensTheModalWindowThenAddsTheMenu) {
    UpdateAnswers answers;
    answers.SetVersion("2.1.1a-linux\n");
    const std::string changelog = "2.2 changes\n" + std::string(1200, '*');
    answers.SetChangelog(changelog);
    OpenFrame();
    EXPECT_TRUE(Check()->Announced());

    ASSERT_EQ(Windows().size(), 1u);
    auto_update* window = Windows()[0];
    EXPECT_EQ(window->GetTitle(), "Corvane -- Update!");
    EXPECT_EQ(Changelog(window), wxString::FromUTF8(changelog.substr(0, 1000)));
    EXPECT_FALSE(frame_->IsEnabled());
    EXPECT_EQ(MenuTitles().back(), "Update Available!");
    const wxMenu* menu = frame_->GetMenuBar()->GetMenu(frame_->GetMenuBar()->GetMenuCount() - 1);
    ASSERT_EQ(menu->GetMenuItemCount(), 2u);
    EXPECT_EQ(menu->FindItemByPosition(0)->GetItemLabel(), "&Update Now");
    EXPECT_EQ(menu->FindItemByPosition(1)->GetItemLabel(), "&View Changelog");

    Press(window, wxID_CANCEL);
    Pump();
    EXPECT_TRUE(Windows().empty());
    EXPECT_TRUE(frame_->IsEnabled());

    // View Changelog asks the service again, in a fresh modal window; the close box ends it.
    answers.SetChangelog("second text");
    Command(ID_VIEW_CHANGELOG);
    ASSERT_EQ(Windows().size(), 1u);
    EXPECT_EQ(Changelog(Windows()[0]), "second text");
    EXPECT_FALSE(frame_->IsEnabled());
    Windows()[0]->Close();
    Pump();
    EXPECT_TRUE(Windows().empty());
    EXPECT_TRUE(frame_->IsEnabled());

    // Download opens the download page and closes the window; Update Now opens it as well.
    Command(ID_VIEW_CHANGELOG);
    ASSERT_EQ(Windows().size(), 1u);
    Press(Windows()[0], auto_update::ID_DOWNLOAD);
    Pump();
    EXPECT_TRUE(Windows().empty());
    EXPECT_TRUE(frame_->IsEnabled());
    Command(ID_UPDATE_NOW);
    EXPECT_EQ(prompts_->OpenedUrls(),
              (Strings{answers.BaseUrl() + "/download.php", answers.BaseUrl() + "/download.php"}));
    EXPECT_EQ(MenuTitles().back(), "Update Available!");
}

TEST_F(UpdateTest, TheWindowComesToTheFrontWithItsWholeChangelog) {
    UpdateAnswers answers;
    answers.SetVersion("2.1.1a-linux\n");
    // One NUL made the text field refuse the whole text.
    answers.SetChangelog("2.2:\n\0fixed a crash\n"s);
    OpenFrame();
    // The main window has the focus, as after a start-up alert closed.
    frame_->Raise();
    ASSERT_TRUE(PumpUntil([&] { return frame_->IsActive(); }));
    EXPECT_TRUE(Check()->Announced());
    ASSERT_EQ(Windows().size(), 1u);
    auto_update* window = Windows()[0];
    EXPECT_EQ(Changelog(window), wxString::FromUTF8("2.2:\n\xEF\xBF\xBD"
                                                    "fixed a crash\n"));
    EXPECT_TRUE(PumpUntil([&] { return window->IsActive(); }));
    EXPECT_GT(StackingPlace(window), StackingPlace(frame_));

    // The disabled main window brought to the front (a window manager does that when an alert
    // closes) hands the front back.
    frame_->Raise();
    EXPECT_TRUE(PumpUntil(
        [&] { return window->IsActive() && StackingPlace(window) > StackingPlace(frame_); }));
    Press(window, wxID_CANCEL);
    Pump();
    // Once it is closed, the main window comes to the front as it should.
    frame_->Raise();
    EXPECT_TRUE(PumpUntil([&] { return frame_->IsActive(); }));
    EXPECT_TRUE(frame_->IsEnabled());
}

TEST_F(UpdateTest, SilentServiceNeitherHoldsTheWindowNorTheQuit) {
    SilentServer silent;
    ScopedEnv update("CORVANE_UPDATE_HOST", silent.Host());
    OpenFrame();
    wxStopWatch watch;
    auto check = UpdateCheck::Start(frame_);
    EXPECT_LT(watch.Time(), 500);
    // The window works while the request waits.
    Command(wxID_NEW);
    EXPECT_EQ(PageCount(), 2u);
    EXPECT_FALSE(check->Done());

    // Quitting meanwhile ends the request; nothing is announced afterwards.
    frame_->Destroy();
    frame_ = nullptr;
    Pump();
    PumpUntil([] { return false; }, 300);
    EXPECT_FALSE(check->Done());
    EXPECT_TRUE(Windows().empty());
}

} // namespace
