#include "ui/application.h"

#include "ui/base/program_icon.h"
#include "ui/base/texts.h"

#include <QApplication>

namespace ui {

void setupApplication()
{
    // On X11 the windows' class is the application's name (Qt 6.4 and 6.8 alike; the desktop
    // file name reaches Wayland's app id only), so both are the entry's name.
    QApplication::setApplicationName(texts::kDesktopId);
    // No display name: Qt would append it to every title, and titles must read exactly as
    // they are set ("[Site OK]" in the taskbar, not "[Site OK] — Vorn Sentrilo").
    QApplication::setDesktopFileName(texts::kDesktopId);
    QApplication::setWindowIcon(programIcon());
}

} // namespace ui
