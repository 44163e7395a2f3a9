#pragma once

#include <QString>

#include <functional>

namespace ui {

// Asks the desktop to open `target` (a URL or a file) in the user's preferred application, the
// way a file manager would, with `workingFolder` as the opener's working folder. Fire and
// forget: the desktop reports its own failures, if it reports any.
void shellOpen(const QString& target, const QString& workingFolder);

// What opens a target; shellOpen, or a stand-in that records the request.
using Opener = std::function<void(const QString& target, const QString& workingFolder)>;

} // namespace ui
