#pragma once

#include "ui/shell_open.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace ui {

// The sponsor box, with a button to the sponsor's referral page.
class FQuib : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FQuib)

public:
    // Pages open through `open`, with `workingFolder` as the opener's working folder.
    FQuib(Opener open, QString workingFolder, QWidget* parent = nullptr);

private:
    void Command1_Click();

    Opener open_;
    QString workingFolder_;
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* Command1;
};

} // namespace ui
