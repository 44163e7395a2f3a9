#pragma once

#include <QAccessibleWidget>
#include <QLabel>

namespace ui {

// A label as screen readers meet it under a role of its own, named by what it says (unless it
// was given a name).
class AccessibleLabel : public QAccessibleWidget {
public:
    AccessibleLabel(QLabel* label, QAccessible::Role role);

    QString text(QAccessible::Text kind) const override;

protected:
    QLabel* label() const;
};

// Gives every `Label` (and no subclass of it) the interface `make` returns. Install it with
// QAccessible::installFactory, which ignores a second install of the same factory.
template <typename Label, QAccessibleInterface* (*make)(Label*)>
QAccessibleInterface* accessibleLabelFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String(Label::staticMetaObject.className()))
        return make(static_cast<Label*>(object));
    return nullptr;
}

} // namespace ui
