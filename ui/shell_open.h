#pragma once

#include <QString>

namespace ui {

// Asks the desktop to open `target` (a URL or a file) in the user's preferred application, the
// way a file manager would, with `workingFolder` as the opener's working folder. Fire and
// forget: the desktop reports its own failures, if it reports any.
void shellOpen(const QString& target, const QString& workingFolder);

} // namespace ui
