#pragma once

class wxTopLevelWindow;

// Windows and the keyboard: the part of the platform that depends on the windowing system.
namespace platform {

// Makes `window` take the keyboard each time it comes on the screen. A window manager gives a new
// window the keyboard by itself; without one (a bare X server) nobody does, and a window can ask
// for it only once it is on the screen, which is some time after Show().
void TakeKeyboardWhenShown(wxTopLevelWindow* window);

} // namespace platform
