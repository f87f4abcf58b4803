// The GUI tests run under an application object whose start-up does nothing: each test builds the
// windows it needs.
#include "gui/GuiTestRunner.h"

#include <wx/app.h>

namespace {
class TestApp : public wxApp {
public:
    bool OnInit() override { return true; }
};
} // namespace

int main(int argc, char** argv) { return RunGuiTests(new TestApp, argc, argv); }
