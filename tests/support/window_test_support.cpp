#include "tests/support/window_test_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QWidget>

QWidget* topLevel(const char* name)
{
    QWidgetList named = QApplication::topLevelWidgets();
    named.removeIf([name](const QWidget* widget) { return widget->objectName() != QLatin1String(name); });
    return named.size() == 1 ? named.first() : nullptr;
}

QByteArray readLog(const QString& folder)
{
    QFile file(QDir(folder).filePath(QStringLiteral("snlog.html")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
