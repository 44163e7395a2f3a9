#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

// A stand-in `xdg-open` put first on PATH: it records each call's working folder and
// arguments instead of starting anything.
class FakeOpener {
public:
    FakeOpener();
    ~FakeOpener();
    FakeOpener(const FakeOpener&) = delete;
    FakeOpener& operator=(const FakeOpener&) = delete;

    // One "working folder|arguments" line per call, oldest first.
    QStringList calls() const;

private:
    QTemporaryDir dir_;
    QByteArray savedPath_;
};
