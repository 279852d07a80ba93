#pragma once

// Qt's Wayland platform cannot keep a window on top, make it translucent or
// place it: the Wayland shell protocols have no such requests. On a Wayland
// session the program therefore runs through XWayland, on Qt's xcb platform,
// when that platform is installed and an X display is there, unless the user
// named a platform (QT_QPA_PLATFORM or a -platform argument). Called before
// the application object is made; true when it chose xcb. The choice is the
// program's own: once the application object exists, forgetChosenPlatform()
// keeps it from the programs it starts (a browser has its own reasons).
bool chooseWindowPlatform(int argc, char** argv);
void forgetChosenPlatform();
