#pragma once

#include "gui/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <functional>

class CorvaneFrame;
class Interface;
class panel_with_stc;
class snippet_stc;

// A test that builds the real main window on the test display, in a fresh working directory
// (./icons from the source tree, an empty ./snippets), with scripted prompts.
class GuiTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the main window (connecting to the test database unless told otherwise) and shows it.
    CorvaneFrame* OpenFrame();
    Interface* Workspace() const;
    // Sends the command a menu item or tool with this id sends.
    void Command(int id);
    // Runs pending events until `done` holds or the timeout passes; the result of `done`.
    bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 5000);
    void Pump();

    size_t PageCount() const;
    wxString Caption(size_t index) const;
    int Selection() const;
    panel_with_stc* Page(size_t index) const;
    snippet_stc* Editor(size_t index) const;

    ScriptedPrompts* prompts_ = nullptr;
    CorvaneFrame* frame_ = nullptr;
};
