#pragma once

#include <QLabel>

namespace ui {

// A label that reports a click with the left button, like a link.
class ClickLabel : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ClickLabel)

public:
    explicit ClickLabel(QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace ui
