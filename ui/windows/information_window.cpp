#include "ui/windows/information_window.h"

#include "ui/base/program_icon.h"
#include "ui/desktop/window_hints.h"
#include "ui/windows/text_fit.h"

#include <QLabel>
#include <QWidget>

namespace ui {

namespace {

constexpr double kHeadingPoints = 8.25;

} // namespace

void setupInformationWindow(QWidget* window, const QString& title, const layout::Window& drawn)
{
    // A plain window, given the hints of a box by presentBox. A tool window would be transient for
    // the whole program, and a window manager that keeps such windows above the ones shown
    // before them (KWin does) could never bring a box chosen again above the other box.
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowCloseButtonHint);
    // The program lives as long as its main window, whatever box is still open.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->setWindowTitle(title);
    window->setWindowIcon(programIcon());
    window->setFixedSize(windowTwips().size(drawn.clientWidth, drawn.clientHeight));
}

void presentBox(QWidget* box)
{
    if (!box->isVisible()) {
        setBoxHints(box);
        box->show();
    }
    box->setWindowState((box->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    box->raise();
    box->activateWindow();
}

QLabel* addLabel(QWidget* window, const layout::Window& drawn, const char* name)
{
    auto* label = new QLabel(window);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->setText(layout::place(label, drawn, name, windowTwips()));
    return label;
}

QLabel* addHeading(QWidget* window, const layout::Window& drawn)
{
    QLabel* label = addLabel(window, drawn, "heading");
    // The heading asks for the classic 8-point sans serif; the system's nearest one stands in.
    // 8.25 points is the size the layout was drawn for, so it grows with the layout, and a
    // large desktop font leaves the heading no smaller beside the text.
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(kHeadingPoints * windowTwips().scale());
    font.setWeight(QFont::Bold);
    label->setFont(font);
    label->setWordWrap(false);
    return label;
}

} // namespace ui
