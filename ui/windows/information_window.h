#pragma once

#include "ui/windows/layout.h"

#include <QString>

class QLabel;
class QWidget;

namespace ui {

// The look the About and sponsor boxes share: a fixed frame with only a close box, kept out of
// the taskbar, the program icon, and the client area `drawn` gives.
void setupInformationWindow(QWidget* window, const QString& title, const layout::Window& drawn);

// Brings a box forward whatever its state: shown if closed, restored if minimized, raised and
// made active.
void presentBox(QWidget* box);

// The label `name` of `drawn`, with its text as plain text, aligned top-left and wrapped.
QLabel* addLabel(QWidget* window, const layout::Window& drawn, const char* name);

// The bold heading of an information box, the control "heading" of `drawn`.
QLabel* addHeading(QWidget* window, const layout::Window& drawn);

} // namespace ui
