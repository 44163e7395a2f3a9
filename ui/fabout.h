#pragma once

#include <QDialog>

class QLabel;

namespace ui {

// The About box: the product's name and version, and what the program does.
class FAbout : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FAbout)

public:
    explicit FAbout(QWidget* parent = nullptr);

private:
    QLabel* Label1;
    QLabel* Label2;
};

} // namespace ui
