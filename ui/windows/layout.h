#pragma once

#include "ui/base/twips.h"

#include <QString>

#include <vector>

class QWidget;

// The three windows as they were drawn: each control that shows a fixed text or frames one, with
// its place in twips, listed from the bottom of the window up, so that a control lies over those
// listed before it. The windows read these lists to place their controls and the text fit reads
// the same lists to measure their rooms, so the two always agree.
namespace ui::layout {

// How a control shows its text, and so how its room is measured.
enum class Kind {
    Label,        // on one line
    WrappedLabel, // wrapped inside its box
    Button,       // inside a push button's margins
    Heading,      // in a font of its own that grows with the layout; not measured
    TextBox,      // the user's text; not measured
    Frame,        // no text
};

struct Control {
    const char* name; // the widget's object name
    Kind kind;
    // A text it shows: a control that shows several (Start and Stop) is listed once for each, and
    // placed by its first.
    QString text;
    Box box;
};

struct Window {
    int clientWidth;
    int clientHeight;
    std::vector<Control> controls;
};

const Window& mainWindow();
const Window& aboutBox();
const Window& sponsorBox();

// Names `widget` after the control `name` of `window` and puts it where the list says, at the
// scale of `twips`; returns the control's first text.
QString place(QWidget* widget, const Window& window, const char* name, const Twips& twips);

// The three rules under the main window's menu bar: two at the top edge, one a pixel lower.
inline constexpr int kRuleLength = 6225;
inline constexpr int kRuleTop = 0;
inline constexpr int kLowerRuleTop = 15;

} // namespace ui::layout
