#include "program_icon.h"

namespace ui {

QIcon programIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/sentrilo-32.xpm"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/sentrilo-16.xpm"), QSize(16, 16));
    return icon;
}

} // namespace ui
