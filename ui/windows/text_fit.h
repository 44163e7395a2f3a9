#pragma once

#include "ui/base/twips.h"

namespace ui {

// The scale every window shares: the application font's (Twips::fontScale), raised until every
// fixed text of the three windows fits the room its window gives it, with the control's own
// margins: labels on one line, captions inside their buttons, the two long texts wrapped inside
// their boxes. The URL box is left out: what it holds is the user's. Settled at the first call.
const Twips& windowTwips();

} // namespace ui
