#pragma once

class QWidget;

namespace ui {

// Asks the window manager to treat `window` as an information box: listed in no taskbar, pager
// or window switcher, and offering neither minimize nor maximize. Call it each time before the
// window is shown: a window manager forgets these states when a window is withdrawn. Does nothing
// where the program does not run on X11.
void setBoxHints(QWidget* window);

} // namespace ui
