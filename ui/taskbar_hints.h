#pragma once

class QWidget;

namespace ui {

// Asks the window manager to list `window` in no taskbar and no pager. Call it each time before
// the window is shown: a window manager forgets these states when a window is withdrawn. Does
// nothing where the program does not run on X11.
void keepOffTaskbar(QWidget* window);

} // namespace ui
