#include "ui/fquib.h"

#include "ui/information_window.h"
#include "ui/twips.h"
#include "ui/ui_texts.h"

#include <QLabel>
#include <QPushButton>

namespace ui {

FQuib::FQuib(Opener open, QString workingFolder, QWidget* parent)
    : QDialog(parent), open_(std::move(open)), workingFolder_(std::move(workingFolder))
{
    setObjectName(QStringLiteral("FQuib"));
    namespace at = layout::sponsor_box;
    setupInformationWindow(this, texts::kSponsorTitle, at::kClientWidth, at::kClientHeight);
    Label1 = addHeading(this, texts::kSponsorName, at::kLabel1);
    Label2 = addLabel(this, QStringLiteral("Label2"), texts::kSponsorText, at::kLabel2);

    Command1 = new QPushButton(texts::kMoreInformation, this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);
    Command1->setGeometry(Twips::application().rect(at::kCommand1));
    connect(Command1, &QPushButton::clicked, this, &FQuib::Command1_Click);
}

void FQuib::Command1_Click()
{
    open_(texts::sponsorReferral(), workingFolder_);
}

} // namespace ui
