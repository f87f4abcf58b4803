#include "gui/GuiFixture.h"

#include "app/CorvaneFrame.h"
#include "app/Interface.h"
#include "editor/panel_with_stc.h"
#include "support/TestDatabase.h"

#include <wx/app.h>
#include <wx/aui/auibook.h>
#include <wx/evtloop.h>
#include <wx/filename.h>
#include <wx/stopwatch.h>

void GuiTest::SetUp() {
    auto prompts = std::make_unique<ScriptedPrompts>();
    prompts_ = prompts.get();
    Prompts::Install(std::move(prompts));
    // Every test starts with an empty local store and no pages kept from an earlier test.
    wxFileName::Rmdir("snippets", wxPATH_RMDIR_RECURSIVE);
    wxFileName::Mkdir("snippets");
    wxFileName::Rmdir(".corvane-recovery", wxPATH_RMDIR_RECURSIVE);
    // ...and logged out: an address an earlier test remembered would log its user in at start.
    TestDatabase().Exec("DELETE FROM remember");
}

void GuiTest::TearDown() {
    if (frame_) {
        frame_->Destroy();
        frame_ = nullptr;
    }
    Pump();
    EXPECT_EQ(prompts_->Unanswered(), 0u) << "scripted answers left over";
}

CorvaneFrame* GuiTest::OpenFrame() {
    frame_ = new CorvaneFrame(nullptr, "Corvane");
    frame_->Show(true);
    wxTheApp->SetTopWindow(frame_);
    Pump();
    return frame_;
}

Interface* GuiTest::Workspace() const { return frame_->Workspace(); }

void GuiTest::Command(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(frame_);
    frame_->ProcessWindowEvent(event);
}

void GuiTest::Pump() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop == nullptr)
        return;
    while (loop->Pending())
        loop->Dispatch();
    // Calls queued with CallAfter (also from other threads).
    wxTheApp->ProcessPendingEvents();
    wxTheApp->ProcessIdle();
}

bool GuiTest::PumpUntil(const std::function<bool()>& done, int timeout_ms) {
    wxStopWatch watch;
    while (!done()) {
        if (watch.Time() > timeout_ms)
            return done();
        Pump();
        wxMilliSleep(5);
    }
    return true;
}

size_t GuiTest::PageCount() const { return Workspace()->Notebook()->GetPageCount(); }

wxString GuiTest::Caption(size_t index) const {
    return Workspace()->Notebook()->GetPageText(index);
}

int GuiTest::Selection() const { return Workspace()->Notebook()->GetSelection(); }

panel_with_stc* GuiTest::Page(size_t index) const { return Workspace()->EditorPage(index); }

snippet_stc* GuiTest::Editor(size_t index) const {
    panel_with_stc* page = Page(index);
    return page ? page->stc : nullptr;
}
