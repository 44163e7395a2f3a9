#pragma once

#include <QDialog>

namespace ui {

// The About box: the product's name and version, and what the program does.
class AboutBox : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutBox)

public:
    explicit AboutBox(QWidget* parent = nullptr);
};

} // namespace ui
