#pragma once

#include "ui/layout.h"

#include <QString>

class QLabel;
class QWidget;

namespace ui {

// The look the About and sponsor boxes share: a fixed frame with only a close box, kept out of
// the taskbar, the program icon, and a client area of the given size in twips.
void setupInformationWindow(QWidget* window, const QString& title, int widthTwips, int heightTwips);

// Brings a box forward whatever its state: shown if closed, restored if minimized, raised and
// made active.
void presentBox(QWidget* box);

// A plain-text label placed in twips, on top-left aligned text.
QLabel* addLabel(QWidget* window, const QString& name, const QString& text, const layout::Box& box);

// The bold heading of an information box.
QLabel* addHeading(QWidget* window, const QString& text, const layout::Box& box);

} // namespace ui
