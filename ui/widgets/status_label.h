#pragma once

#include <QLabel>

namespace ui {

// The window's status line. Screen readers know it as a status bar, named by its text; each new
// text is announced as a change of that name (QLabel::setText sends the event).
class StatusLabel : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusLabel)

public:
    explicit StatusLabel(QWidget* parent = nullptr);
};

} // namespace ui
