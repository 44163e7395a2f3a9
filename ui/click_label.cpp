#include "click_label.h"

#include <QAccessibleWidget>
#include <QMouseEvent>

namespace ui {

namespace {

class AccessibleLink : public QAccessibleWidget {
public:
    explicit AccessibleLink(ClickLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return label()->text();
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.linked = true;
        return state;
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString& action) override
    {
        if (action == pressAction())
            label()->click();
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    ClickLabel* label() const { return static_cast<ClickLabel*>(widget()); }
};

QAccessibleInterface* accessibleLink(const QString& className, QObject* object)
{
    if (className == QLatin1String(ClickLabel::staticMetaObject.className()))
        return new AccessibleLink(static_cast<ClickLabel*>(object));
    return nullptr;
}

} // namespace

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent)
{
    QAccessible::installFactory(accessibleLink); // once: a second install is ignored
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
