#include "fabout.h"

#include "check_texts.h"
#include "information_window.h"
#include "ui_texts.h"

#include <QLabel>

namespace ui {

FAbout::FAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FAbout"));
    setupInformationWindow(this, texts::kAboutTitle, 4995, 870);
    Label1 = addHeading(this, texts::kAboutName, 120, 120, 4110, 255);
    const QString logName = QString::fromLatin1(check::texts::kLogFileName);
    Label2 = addLabel(this, QStringLiteral("Label2"), QString(texts::kAboutText) + u'"' + logName + u'"' + u'.', 120, 360,
        4740, 495);
}

} // namespace ui
