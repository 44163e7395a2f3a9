#include "ui/windows/about_box.h"

#include "ui/base/texts.h"
#include "ui/windows/information_window.h"

namespace ui {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutBox"));
    const layout::Window& drawn = layout::aboutBox();
    setupInformationWindow(this, texts::kAboutTitle, drawn);
    addHeading(this, drawn);
    addLabel(this, drawn, "description");
}

} // namespace ui
