#include "fmain.h"
#include "program_icon.h"
#include "ui_texts.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // QApplication also sets the C library's locale from the environment, which the
    // timestamps of the checks follow.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("sentrilo"));
    QApplication::setApplicationDisplayName(ui::texts::kProductTitle);
    QApplication::setDesktopFileName(QStringLiteral("sentrilo"));
    QApplication::setWindowIcon(ui::programIcon());

    ui::FMain window;
    window.show();
    return QApplication::exec();
}
