#pragma once

namespace ui {

// The smallest layout factor, from `scale` up, at which every fixed text of the three windows
// fits the room its window gives it, with the control's own margins: labels on one line,
// captions inside their buttons, the two long texts wrapped inside their boxes. The URL box is
// left out: what it holds is the user's. The status line must hold its longest fixed form,
// "Status: SITE DOWN (" with a timestamp in the locale's own format.
double scaleToFitFixedTexts(double scale);

} // namespace ui
