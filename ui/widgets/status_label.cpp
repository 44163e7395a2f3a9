#include "ui/widgets/status_label.h"

#include "ui/widgets/accessible_label.h"

namespace ui {

namespace {

QAccessibleInterface* accessibleStatus(StatusLabel* label)
{
    return new AccessibleLabel(label, QAccessible::StatusBar);
}

} // namespace

StatusLabel::StatusLabel(QWidget* parent) : QLabel(parent)
{
    QAccessible::installFactory(accessibleLabelFactory<StatusLabel, accessibleStatus>);
    setTextFormat(Qt::PlainText);
}

} // namespace ui
