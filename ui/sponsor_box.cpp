#include "ui/sponsor_box.h"

#include "ui/information_window.h"
#include "ui/twips.h"
#include "ui/ui_texts.h"

#include <QPushButton>

namespace ui {

SponsorBox::SponsorBox(Opener open, QString workingFolder, QWidget* parent)
    : QDialog(parent), open_(std::move(open)), workingFolder_(std::move(workingFolder))
{
    setObjectName(QStringLiteral("sponsorBox"));
    namespace at = layout::sponsor_box;
    setupInformationWindow(this, texts::kSponsorTitle, at::kClientWidth, at::kClientHeight);
    addHeading(this, texts::kSponsorName, at::kHeading);
    addLabel(this, QStringLiteral("description"), texts::kSponsorText, at::kDescription);

    auto* moreInformation = new QPushButton(texts::kMoreInformation, this);
    moreInformation->setObjectName(QStringLiteral("moreInformationButton"));
    moreInformation->setAutoDefault(false);
    moreInformation->setGeometry(Twips::application().rect(at::kMoreInformationButton));
    connect(moreInformation, &QPushButton::clicked, this, &SponsorBox::openReferralPage);
}

void SponsorBox::openReferralPage()
{
    open_(texts::sponsorReferral(), workingFolder_);
}

} // namespace ui
