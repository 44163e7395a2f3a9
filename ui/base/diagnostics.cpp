#include "ui/base/diagnostics.h"

// Debug messages are off by default, warnings and information on.
Q_LOGGING_CATEGORY(lcCheck, "sentrilo.check", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLog, "sentrilo.log", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDesktop, "sentrilo.desktop", QtInfoMsg)

namespace ui {

void Trouble::report(const QString& cause)
{
    if (cause == cause_)
        return;
    cause_ = cause;
    qCWarning(category_).noquote() << cause;
}

void Trouble::clear(const QString& news)
{
    if (cause_.isEmpty())
        return;
    cause_.clear();
    qCInfo(category_).noquote() << news;
}

} // namespace ui
