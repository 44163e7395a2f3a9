#include "ui/widgets/accessible_label.h"

namespace ui {

AccessibleLabel::AccessibleLabel(QLabel* label, QAccessible::Role role) : QAccessibleWidget(label, role)
{
}

QString AccessibleLabel::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
        return label()->text();
    return QAccessibleWidget::text(kind);
}

QLabel* AccessibleLabel::label() const
{
    return static_cast<QLabel*>(widget());
}

} // namespace ui
