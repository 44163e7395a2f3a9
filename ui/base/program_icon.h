#pragma once

#include <QIcon>

namespace ui {

// The program's icon, in its 32 by 32 and 16 by 16 pictures; the same on every window.
QIcon programIcon();

// The status indicator's marks for a site found up and down: told apart by shape (a circle
// with a mark pointing up, a square with one pointing down) as well as by colour.
QIcon siteUpIcon();
QIcon siteDownIcon();

} // namespace ui
