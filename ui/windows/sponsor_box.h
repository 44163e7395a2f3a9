#pragma once

#include "ui/desktop/shell_open.h"

#include <QDialog>
#include <QString>

namespace ui {

// The sponsor box, with a button to the sponsor's referral page.
class SponsorBox : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SponsorBox)

public:
    // Pages open through `open`, with `workingFolder` as the opener's working folder.
    SponsorBox(Opener open, QString workingFolder, QWidget* parent = nullptr);

private:
    void openReferralPage();

    Opener open_;
    QString workingFolder_;
};

} // namespace ui
