#include "ui/windows/sponsor_box.h"

#include "ui/base/texts.h"
#include "ui/windows/information_window.h"
#include "ui/windows/text_fit.h"

#include <QPushButton>

namespace ui {

SponsorBox::SponsorBox(Opener open, QString workingFolder, QWidget* parent)
    : QDialog(parent), open_(std::move(open)), workingFolder_(std::move(workingFolder))
{
    setObjectName(QStringLiteral("sponsorBox"));
    const layout::Window& drawn = layout::sponsorBox();
    setupInformationWindow(this, texts::kSponsorTitle, drawn);
    addHeading(this, drawn);
    addLabel(this, drawn, "description");

    auto* moreInformation = new QPushButton(this);
    moreInformation->setAutoDefault(false);
    moreInformation->setText(layout::place(moreInformation, drawn, "moreInformationButton", windowTwips()));
    connect(moreInformation, &QPushButton::clicked, this, &SponsorBox::openReferralPage);
}

void SponsorBox::openReferralPage()
{
    open_(texts::sponsorReferral(), workingFolder_);
}

} // namespace ui
