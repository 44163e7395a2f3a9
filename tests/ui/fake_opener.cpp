#include "fake_opener.h"

#include <QFile>

FakeOpener::FakeOpener() : savedPath_(qgetenv("PATH"))
{
    const QString script = dir_.filePath(QStringLiteral("xdg-open"));
    QFile file(script);
    if (file.open(QIODevice::WriteOnly)) {
        // Written to a temporary name and renamed, so a reader never sees half a line.
        file.write("#!/bin/sh\n"
                   "printf '%s|%s\\n' \"$(pwd)\" \"$*\" > \"$0.calls.tmp.$$\"\n"
                   "cat \"$0.calls.tmp.$$\" >> \"$0.calls\" && rm -f \"$0.calls.tmp.$$\"\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    qputenv("PATH", dir_.path().toLocal8Bit() + ':' + savedPath_);
}

FakeOpener::~FakeOpener()
{
    qputenv("PATH", savedPath_);
}

QStringList FakeOpener::calls() const
{
    QFile file(dir_.filePath(QStringLiteral("xdg-open.calls")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}
