#include "fquib.h"

#include "information_window.h"
#include "shell_open.h"
#include "twips.h"
#include "ui_texts.h"

#include <QLabel>
#include <QPushButton>

namespace ui {

FQuib::FQuib(QString workingFolder, QWidget* parent) : QDialog(parent), workingFolder_(std::move(workingFolder))
{
    setObjectName(QStringLiteral("FQuib"));
    setupInformationWindow(this, texts::kSponsorTitle, 4695, 1260);
    Label1 = addHeading(this, texts::kSponsorName, 120, 105, 4110, 255);
    Label2 = addLabel(this, QStringLiteral("Label2"), texts::kSponsorText, 120, 360, 4740, 840);

    Command1 = new QPushButton(texts::kMoreInformation, this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);
    Command1->setGeometry(Twips::application().rect(105, 825, 1485, 315));
    connect(Command1, &QPushButton::clicked, this, &FQuib::Command1_Click);
}

void FQuib::Command1_Click()
{
    shellOpen(texts::kSponsorReferral, workingFolder_);
}

} // namespace ui
