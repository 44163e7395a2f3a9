#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace ui {

// A place in a window, in twips, as the windows were drawn.
struct Box {
    int left;
    int top;
    int width;
    int height;
};

// Window geometry is laid out in twips for a small 8-point dialog font. A larger or wider
// font scales the whole layout by one factor, the way dialog units do, so the proportions hold
// and no text is clipped.
class Twips {
public:
    explicit Twips(double scale);

    // What a font alone asks for: its average Latin letter width and line height against those
    // of the font the layout was drawn for, and never less than 1.
    static double fontScale(const QFont& font);

    double scale() const { return scale_; }
    int toPixels(int twips) const;
    QRect rect(const Box& box) const;
    QSize size(int width, int height) const;

private:
    double scale_;
};

} // namespace ui
