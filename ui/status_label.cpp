#include "status_label.h"

#include <QAccessibleWidget>

namespace ui {

namespace {

class AccessibleStatus : public QAccessibleWidget {
public:
    explicit AccessibleStatus(QLabel* label) : QAccessibleWidget(label, QAccessible::StatusBar) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* accessibleStatus(const QString& className, QObject* object)
{
    if (className == QLatin1String(StatusLabel::staticMetaObject.className()))
        return new AccessibleStatus(static_cast<QLabel*>(object));
    return nullptr;
}

} // namespace

StatusLabel::StatusLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    QAccessible::installFactory(accessibleStatus); // once: a second install is ignored
    setTextFormat(Qt::PlainText);
}

} // namespace ui
