#include "ui/application.h"

#include "ui/program_icon.h"
#include "ui/ui_texts.h"

#include <QApplication>

namespace ui {

void setupApplication()
{
    QApplication::setApplicationName(texts::kProgramId);
    // No display name: Qt would append it to every title, and titles must read exactly as
    // they are set ("[Site OK]" in the taskbar, not "[Site OK] — Vorn Sentrilo").
    QApplication::setDesktopFileName(texts::kProgramId);
    QApplication::setWindowIcon(programIcon());
}

} // namespace ui
