#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <chrono>
#include <vector>

// Reads what the window manager and a taskbar read of a window, through the test program's own
// X11 connection (the one Qt uses), so every request Qt made before is seen answered.
class X11Probe {
public:
    // The connection of the running Qt application on the xcb platform.
    X11Probe();
    ~X11Probe();
    X11Probe(const X11Probe&) = delete;
    X11Probe& operator=(const X11Probe&) = delete;

    QString netWmName(xcb_window_t window) const;
    QStringList wmClass(xcb_window_t window) const;
    // Whether _NET_WM_STATE holds the atom named `state`.
    bool hasState(xcb_window_t window, const char* state) const;
    // Whether the window manager's _NET_WM_ALLOWED_ACTIONS holds the atom named `action`.
    bool allows(xcb_window_t window, const char* action) const;
    // ICCCM WM_STATE: true while the window is iconified.
    bool iconic(xcb_window_t window) const;
    // The program's fixed size, when WM_NORMAL_HINTS gives equal minimum and maximum sizes.
    QSize fixedSize(xcb_window_t window) const;
    // The picture sizes _NET_WM_ICON offers.
    std::vector<QSize> iconSizes(xcb_window_t window) const;
    xcb_window_t activeWindow() const;

    xcb_connection_t* connection() const { return connection_; }

private:
    // Whether the list of atoms in `property` holds the atom named `name`.
    bool holds(xcb_window_t window, xcb_atom_t property, const char* name) const;

    xcb_connection_t* connection_ = nullptr;
    // The library's calls take it as non-const, though reading changes nothing in it.
    mutable xcb_ewmh_connection_t ewmh_{};
};

// Another client on the same display, as a window manager, a panel or a window over ours is:
// it hears the bell (XKB bell events), pings windows and covers them, and may serve as an X11
// system tray.
class DisplayPeer {
public:
    DisplayPeer();
    ~DisplayPeer();
    DisplayPeer(const DisplayPeer&) = delete;
    DisplayPeer& operator=(const DisplayPeer&) = delete;

    // Bells rung since the last call (or since construction) by requests that `sender` made
    // before this call.
    int takeBellCount(xcb_connection_t* sender);

    // Sends the window manager's _NET_WM_PING to `window`; true once it has answered, false
    // when it has not within `patience`.
    bool ping(xcb_window_t window, std::chrono::milliseconds patience);

    // Covers `window` with a magenta one and uncovers it again; true once the window has painted
    // the uncovered part anew (the server leaves it as it was: Qt's windows have no background),
    // false when it has not within `patience`.
    bool repaintsWhenUncovered(xcb_window_t window, std::chrono::milliseconds patience);

    // The X server's time now.
    xcb_timestamp_t serverTime();
    // Shows a window of another program and gives it the focus, as if the user had just clicked
    // it; true once the window manager has made it the active window.
    bool takeFocus();
    // Asks the window manager to activate `window` as a taskbar does when the user clicks it.
    void activate(xcb_window_t window);

    // Takes the tray's selection, _NET_SYSTEM_TRAY_S0, and tells every client, as a panel does.
    void becomeTray();
    // The window that asked last to be docked in the tray (never embedded), or 0 while none has.
    xcb_window_t docked();

private:
    // Counts the bells, answered pings and dock requests among the events that have arrived.
    void readEvents();

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_atom_t protocols_ = 0;
    xcb_atom_t ping_ = 0;
    std::uint8_t xkbEvent_ = 0;
    std::uint32_t pingsSent_ = 0;
    int bells_ = 0;
    std::uint32_t pongSeen_ = 0;
    xcb_atom_t trayOpcode_ = 0;
    xcb_window_t own_ = 0; // the other program's window
    xcb_timestamp_t stamped_ = 0; // the time of the latest change to a property of it
    xcb_window_t docked_ = 0;
};
