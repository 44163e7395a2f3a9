#include "ui/base/program_icon.h"

namespace ui {

namespace {

// The sizes panels ask for; drawn at each, since a scaled-down mark blurs.
constexpr int kIndicatorSizes[] = {16, 22, 24, 32};

QIcon indicatorIcon(const QString& name)
{
    QIcon icon;
    for (const int size : kIndicatorSizes)
        icon.addFile(QStringLiteral(":/icons/%1-%2.png").arg(name).arg(size), QSize(size, size));
    return icon;
}

} // namespace

QIcon programIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/sentrilo-32.xpm"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/sentrilo-16.xpm"), QSize(16, 16));
    return icon;
}

QIcon siteUpIcon()
{
    return indicatorIcon(QStringLiteral("sentrilo-up"));
}

QIcon siteDownIcon()
{
    return indicatorIcon(QStringLiteral("sentrilo-down"));
}

} // namespace ui
