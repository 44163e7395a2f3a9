#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace ui {

// Window geometry is laid out in twips for a small 8-point dialog font. A larger default font
// scales the whole layout by one factor, the way dialog units do, so the proportions hold and
// no text is clipped.
class Twips {
public:
    explicit Twips(const QFont& font);

    // The layout of every window shares the application font's factor.
    static const Twips& application();

    double scale() const { return scale_; }
    int toPixels(int twips) const;
    QRect rect(int left, int top, int width, int height) const;
    QSize size(int width, int height) const;

private:
    double scale_;
};

} // namespace ui
