#include "ui/windows/text_fit.h"

#include "ui/windows/layout.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStyle>

#include <algorithm>
#include <string_view>

namespace ui {

namespace {

// Each step raises the factor by one per cent; the cap only guards against a font that never fits.
constexpr double kStep = 1.01;
constexpr int kMaxSteps = 500;
constexpr int kUnbounded = 1 << 20; // a height no wrapped text reaches

QRect inTwips(const Box& box)
{
    return {box.left, box.top, box.width, box.height};
}

// The room `text` has in `window`: its control's box, less what a control listed after it, and
// so lying over it, covers from the right or from below (the URL box over the end of its
// caption, the sponsor box's button over the foot of its text). Only a wrapped text's height is
// measured.
QSize roomOf(const layout::Control& text, const layout::Window& window, const Twips& twips)
{
    const auto named = [](std::string_view name) { return [name](const layout::Control& c) { return c.name == name; }; };
    const auto first = std::ranges::find_if(window.controls, named(text.name));
    QRect room = twips.rect(text.box);
    for (auto other = std::next(first); other != window.controls.end(); ++other) {
        if (other->name == std::string_view(text.name) || !inTwips(other->box).intersects(inTwips(text.box)))
            continue;
        const QRect over = twips.rect(other->box);
        if (other->box.left > text.box.left)
            room.setRight(over.left() - 1);
        else if (other->box.top > text.box.top)
            room.setBottom(over.top() - 1);
    }
    return room.size();
}

bool fits(const layout::Control& text, QSize room)
{
    switch (text.kind) {
    case layout::Kind::Label:
        return QFontMetrics(QApplication::font("QLabel")).horizontalAdvance(text.text) <= room.width();
    case layout::Kind::WrappedLabel: {
        const QRect needed = QFontMetrics(QApplication::font("QLabel"))
                                 .boundingRect(QRect(0, 0, room.width(), kUnbounded), Qt::TextWordWrap, text.text);
        return needed.width() <= room.width() && needed.height() <= room.height();
    }
    case layout::Kind::Button: {
        // What a push button adds around its caption, as the style sizes it (less the style's
        // minimum width, which is about looks, not room).
        const QStyle* style = QApplication::style();
        const int margins = style->pixelMetric(QStyle::PM_ButtonMargin)
            + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth);
        return QFontMetrics(QApplication::font("QPushButton")).horizontalAdvance(text.text) + margins
            <= room.width();
    }
    case layout::Kind::Heading:
    case layout::Kind::TextBox:
    case layout::Kind::Frame:
        break;
    }
    return true;
}

bool allFit(const Twips& twips)
{
    for (const layout::Window* window : {&layout::mainWindow(), &layout::aboutBox(), &layout::sponsorBox()}) {
        for (const layout::Control& text : window->controls) {
            if (!fits(text, roomOf(text, *window, twips)))
                return false;
        }
    }
    return true;
}

double scaleToFit(double scale)
{
    for (int step = 0; step < kMaxSteps && !allFit(Twips(scale)); ++step)
        scale *= kStep;
    return scale;
}

} // namespace

const Twips& windowTwips()
{
    static const Twips twips(scaleToFit(Twips::fontScale(QApplication::font())));
    return twips;
}

} // namespace ui
