#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

// What the window tests look up the same way.

// The one top-level window named `name`; null when there is none, or more than one (never
// acceptable: each box exists once).
QWidget* topLevel(const char* name);

// The check log's bytes in `folder`, empty before the first record.
QByteArray readLog(const QString& folder);
