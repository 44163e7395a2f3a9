#pragma once

#include "ui/layout.h"

#include <QFont>
#include <QRect>
#include <QSize>

namespace ui {

// Window geometry is laid out in twips for a small 8-point dialog font. A larger or wider
// font scales the whole layout by one factor, the way dialog units do, so the proportions hold
// and no text is clipped.
class Twips {
public:
    explicit Twips(double scale);

    // What a font alone asks for: its average Latin letter width and line height against those
    // of the font the layout was drawn for, and never less than 1.
    static double fontScale(const QFont& font);

    // The factor every window shares: the application font's, raised until every fixed text of
    // the three windows fits the room its window gives it (fixed_text_rooms.h).
    static const Twips& application();

    double scale() const { return scale_; }
    int toPixels(int twips) const;
    QRect rect(const layout::Box& box) const;
    QSize size(int width, int height) const;

private:
    double scale_;
};

} // namespace ui
