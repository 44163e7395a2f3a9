#include "ui/status_label.h"

#include "ui/accessible_label.h"

namespace ui {

namespace {

QAccessibleInterface* accessibleStatus(StatusLabel* label)
{
    return new AccessibleLabel(label, QAccessible::StatusBar);
}

} // namespace

StatusLabel::StatusLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    QAccessible::installFactory(accessibleLabelFactory<StatusLabel, accessibleStatus>);
    setTextFormat(Qt::PlainText);
}

} // namespace ui
