#pragma once

#include <functional>

namespace ui {

// Runs `work` on a thread of its own and returns once it has finished, rethrowing what it threw.
// Meanwhile the calling thread goes on with what the window system asks of it (painting,
// exposure, the window manager's pings and window-state changes) and sleeps in between; user
// input and timers wait, to be handled in order once this returns. So a long task keeps the
// windows alive without letting the user act, or a timer fire, in its middle.
void runResponsively(const std::function<void()>& work);

} // namespace ui
