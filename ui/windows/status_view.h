#pragma once

#include "ui/watch/status.h"

#include <QIcon>
#include <QString>

#include <optional>

namespace ui {

// Where the watch's statuses become what the desktop's parts show, which take plain texts and
// pictures: a notification's summary and body, the status indicator's tooltip and icon.
class StatusView {
public:
    StatusView();

    struct Notification {
        QString summary;
        QString body;
    };
    // A new verdict: its marker over the URL, the status line and, last, where a short
    // notification cuts it off first, why the site is down.
    static Notification notificationOf(const Status& status);

    // Takes the next status line in.
    void take(const Status& status);
    // The status line, with why the site is down under it while the verdict stands (through the
    // next check's "Connecting..." too).
    QString toolTip() const;
    // The program's icon until a check has given a verdict, then the verdict's.
    const QIcon& icon() const;

private:
    QString line_;
    std::optional<check::Verdict> verdict_;
    QString cause_;
    QIcon program_;
    QIcon up_;
    QIcon down_;
};

} // namespace ui
