#include "ui/base/contrast.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

// The point `amount` of the way from `from` to `to`, rounded to what a palette holds.
QColor mix(const QColor& from, const QColor& to, double amount)
{
    const auto channel = [&](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * amount)); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()), channel(from.blue(), to.blue()));
}

// WCAG 2 relative luminance, 0 for black to 1 for white.
double relativeLuminance(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

bool readable(const QColor& colour, const QColor& background)
{
    return contrastRatio(colour, background) >= kReadableContrast;
}

} // namespace

double contrastRatio(const QColor& first, const QColor& second)
{
    const auto [darker, lighter] = std::minmax({relativeLuminance(first), relativeLuminance(second)});
    return (lighter + 0.05) / (darker + 0.05);
}

QColor readableOn(const QColor& background, const QColor& wanted, const QColor& anchor)
{
    if (readable(wanted, background))
        return wanted;
    QColor target = anchor;
    if (!readable(target, background)) {
        // One of black and white always reaches 4.5:1, whatever the background.
        const QColor black(Qt::black);
        const QColor white(Qt::white);
        target = contrastRatio(black, background) >= contrastRatio(white, background) ? black : white;
    }
    // The least move towards the target that reads; `far` always reads.
    double near = 0.0;
    double far = 1.0;
    for (int halving = 0; halving < 12; ++halving) {
        const double middle = (near + far) / 2;
        (readable(mix(wanted, target, middle), background) ? far : near) = middle;
    }
    return mix(wanted, target, far);
}

} // namespace ui
