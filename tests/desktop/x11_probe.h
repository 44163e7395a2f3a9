#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <xcb/xcb.h>

#include <vector>

// Reads what the window manager and a taskbar read of a window, through the test program's own
// X11 connection (the one Qt uses), so every request Qt made before is seen answered.
class X11Probe {
public:
    // The connection of the running Qt application on the xcb platform.
    X11Probe();

    QString netWmName(xcb_window_t window) const;
    QStringList wmClass(xcb_window_t window) const;
    QStringList netWmState(xcb_window_t window) const;
    // ICCCM WM_STATE: true while the window is iconified.
    bool iconic(xcb_window_t window) const;
    // The program's fixed size, when WM_NORMAL_HINTS gives equal minimum and maximum sizes.
    QSize fixedSize(xcb_window_t window) const;
    // The picture sizes _NET_WM_ICON offers.
    std::vector<QSize> iconSizes(xcb_window_t window) const;
    xcb_window_t activeWindow() const;

    xcb_connection_t* connection() const { return connection_; }
    xcb_atom_t atom(const char* name) const;

private:
    std::vector<std::uint32_t> property(xcb_window_t window, const char* name, xcb_atom_t type) const;
    QByteArray bytes(xcb_window_t window, const char* name, xcb_atom_t type) const;

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
};

// Counts the X bell as the server reports it (XKB bell events), on a connection of its own.
class BellCounter {
public:
    BellCounter();
    ~BellCounter();
    BellCounter(const BellCounter&) = delete;
    BellCounter& operator=(const BellCounter&) = delete;

    // Bells rung since the last call (or since construction) by requests that `sender` made
    // before this call: a marker sent on that same connection closes the count, so nothing
    // sent earlier can still be on its way.
    int takeCount(xcb_connection_t* sender);

private:
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_atom_t marker_ = 0;
    std::uint8_t xkbEvent_ = 0;
    std::uint32_t serial_ = 0;
};
