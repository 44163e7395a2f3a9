#pragma once

#include <QLabel>

namespace ui {

// A label that reports a click with the left button, like a link. Screen readers know it as a
// link whose press action clicks it; like a link in a dialog drawn as text, it takes no
// keyboard focus.
class ClickLabel : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ClickLabel)

public:
    explicit ClickLabel(QWidget* parent = nullptr);

    // Clicks it, as a mouse or a screen reader does.
    void click();

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace ui
