#include "ui/about_box.h"

#include "ui/information_window.h"
#include "ui/ui_texts.h"

namespace ui {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutBox"));
    namespace at = layout::about_box;
    setupInformationWindow(this, texts::kAboutTitle, at::kClientWidth, at::kClientHeight);
    addHeading(this, texts::aboutName(), at::kHeading);
    addLabel(this, QStringLiteral("description"), texts::aboutText(), at::kDescription);
}

} // namespace ui
