#include "ui/widgets/url_box.h"

#include <QKeyEvent>

namespace ui {

void UrlBox::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() & (Qt::AltModifier | Qt::MetaModifier)) {
        const QString text = event->text();
        if (!text.isEmpty() && text.front().isPrint()) {
            event->ignore();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace ui
