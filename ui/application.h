#pragma once

namespace ui {

// What the whole program shares across its windows: its name for the desktop (the WM_CLASS
// and the desktop entry it belongs to, and the status indicator's id) and its icon. Call once
// the application exists, before the first window.
void setupApplication();

} // namespace ui
