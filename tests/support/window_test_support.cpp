#include "tests/support/window_test_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QWidget>

QWidget* topLevel(const char* name)
{
    QWidget* found = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(name)) {
            if (found != nullptr)
                return nullptr;
            found = widget;
        }
    }
    return found;
}

QByteArray readLog(const QString& folder)
{
    QFile file(QDir(folder).filePath(QStringLiteral("snlog.html")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
