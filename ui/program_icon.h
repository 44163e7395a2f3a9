#pragma once

#include <QIcon>

namespace ui {

// The program's icon, in its 32 by 32 and 16 by 16 pictures; the same on every window.
QIcon programIcon();

} // namespace ui
