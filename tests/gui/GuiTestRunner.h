#pragma once

class wxAppConsole;

// Starts the toolkit on the test display with `app` as the application object, without running
// its main loop (and without its start-up hook: tests run that themselves when they need it),
// runs the tests in a scratch working directory holding ./icons, and turns the toolkit's
// assertions into test failures. The result is the tests' exit code.
int RunGuiTests(wxAppConsole* app, int argc, char** argv);
