#include "application.h"

#include "program_icon.h"

#include <QApplication>

namespace ui {

void setupApplication()
{
    QApplication::setApplicationName(QStringLiteral("sentrilo"));
    // No display name: Qt would append it to every title, and titles must read exactly as
    // they are set ("[Site OK]" in the taskbar, not "[Site OK] — Vorn Sentrilo").
    QApplication::setDesktopFileName(QStringLiteral("sentrilo"));
    QApplication::setWindowIcon(programIcon());
}

} // namespace ui
