#include "ui/desktop/shell_open.h"

#include <QProcess>

namespace ui {

void shellOpen(const QString& target, const QString& workingFolder)
{
    // Detached, so a browser that stays open is never a child the program must wait for.
    QProcess::startDetached(QStringLiteral("xdg-open"), {target}, workingFolder);
}

} // namespace ui
