#pragma once

#include "check/poll_cycle.h"

#include <QString>

#include <optional>

namespace ui {

// A status line and what stands behind it, as the watch tells it.
struct Status {
    QString line;
    // None while a check runs, and before the first.
    std::optional<check::Verdict> verdict;
    // The URL checked, its password hidden.
    QString url;
    // Why the site is down, one line; empty otherwise.
    QString cause;
};

} // namespace ui
