#include "ui/fabout.h"

#include "ui/information_window.h"
#include "ui/ui_texts.h"

#include <QLabel>

namespace ui {

FAbout::FAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FAbout"));
    namespace at = layout::about_box;
    setupInformationWindow(this, texts::kAboutTitle, at::kClientWidth, at::kClientHeight);
    Label1 = addHeading(this, texts::kAboutName, at::kLabel1);
    Label2 = addLabel(this, QStringLiteral("Label2"), texts::aboutText(), at::kLabel2);
}

} // namespace ui
