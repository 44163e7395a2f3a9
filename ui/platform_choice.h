#pragma once

#include <vector>

namespace ui {

// The arguments to start Qt with: the program's own, preceded by a platform choice when the
// user has named none (QT_QPA_PLATFORM unset) and an X display is there (DISPLAY set). Then X11
// comes first and Wayland is the fallback: as a native Wayland client the program can neither
// see that it was minimized nor restore or raise itself, and its beep is lost; through
// Xwayland all of that works. The choice travels as an argument, not through the environment,
// so the programs started from here (xdg-open and the browser) make their own.
//
// The result ends with a null pointer, as argv does; it points into `argv` and static text.
std::vector<char*> withPlatformChoice(int argc, char* argv[]);

} // namespace ui
