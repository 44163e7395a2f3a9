#pragma once

#include <QLineEdit>

namespace ui {

// The URL box. A key held with Alt or Meta is a command, never text: the menus have no access
// keys, so without this Alt+F would type an "f" into the watched address.
class UrlBox : public QLineEdit {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UrlBox)

public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace ui
