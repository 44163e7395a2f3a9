#pragma once

#include <QLoggingCategory>
#include <QString>

// The program's messages, by what they concern. Warnings and news of a recovery are on; the
// debug messages, one per check, are off unless asked for:
//   QT_LOGGING_RULES="sentrilo.*.debug=true" sentrilo
Q_DECLARE_LOGGING_CATEGORY(lcCheck)   // sentrilo.check: the checks and their proxies
Q_DECLARE_LOGGING_CATEGORY(lcLog)     // sentrilo.log: the check log
Q_DECLARE_LOGGING_CATEGORY(lcDesktop) // sentrilo.desktop: notifications and the status area

namespace ui {

// A trouble that may last from one check to the next: told when its cause first shows or
// changes, and its end told once, so that a log that cannot be written says so once, not every
// minute. What goes wrong never changes what the program does.
class Trouble {
public:
    using Category = const QLoggingCategory& (*)();

    explicit Trouble(Category category) : category_(category) {}

    // Warns of `cause`, unless it is the one already told.
    void report(const QString& cause);
    // Tells `news` once, if a trouble was told since the last time.
    void clear(const QString& news);

private:
    Category category_;
    QString cause_;
};

} // namespace ui
