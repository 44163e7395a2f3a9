#include "ui/base/twips.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

constexpr double kTwipsPerPixel = 15.0; // 1440 twips an inch at 96 logical dots an inch

// Average letter width and line height, in pixels, of the font the layout was drawn for.
constexpr double kDesignCharWidth = 6.0;
constexpr double kDesignLineHeight = 13.0;

} // namespace

Twips::Twips(double scale) : scale_(scale)
{
}

double Twips::fontScale(const QFont& font)
{
    const QFontMetricsF metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double charWidth = metrics.horizontalAdvance(letters) / letters.size();
    return std::max({1.0, charWidth / kDesignCharWidth, metrics.height() / kDesignLineHeight});
}

int Twips::toPixels(int twips) const
{
    return static_cast<int>(std::lround(twips * scale_ / kTwipsPerPixel));
}

QRect Twips::rect(const Box& box) const
{
    return {toPixels(box.left), toPixels(box.top), toPixels(box.width), toPixels(box.height)};
}

QSize Twips::size(int width, int height) const
{
    return {toPixels(width), toPixels(height)};
}

} // namespace ui
