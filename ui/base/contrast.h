#pragma once

#include <QColor>

namespace ui {

// The least contrast at which ordinary text stays readable (WCAG 2, level AA).
inline constexpr double kReadableContrast = 4.5;

// WCAG 2 contrast ratio of two colours, from 1 (none) to 21 (black on white).
double contrastRatio(const QColor& first, const QColor& second);

// `wanted` if it is readable on `background`; otherwise `wanted` moved just far enough towards
// `anchor` (towards black or white, if even `anchor` is not readable there) to become so.
QColor readableOn(const QColor& background, const QColor& wanted, const QColor& anchor);

} // namespace ui
