#include "ui/widgets/click_label.h"

#include "ui/widgets/accessible_label.h"

#include <QMouseEvent>

namespace ui {

namespace {

class AccessibleLink : public AccessibleLabel {
public:
    explicit AccessibleLink(ClickLabel* label) : AccessibleLabel(label, QAccessible::Link) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = AccessibleLabel::state();
        state.linked = true;
        return state;
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString& action) override
    {
        if (action == pressAction())
            static_cast<ClickLabel*>(label())->click();
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

QAccessibleInterface* accessibleLink(ClickLabel* label)
{
    return new AccessibleLink(label);
}

} // namespace

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent)
{
    QAccessible::installFactory(accessibleLabelFactory<ClickLabel, accessibleLink>);
    setCursor(Qt::PointingHandCursor);
}

void ClickLabel::click()
{
    Q_EMIT clicked();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    // Releasing outside the label cancels the click, as on a button.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        click();
    QLabel::mouseReleaseEvent(event);
}

} // namespace ui
