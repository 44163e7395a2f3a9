#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QObject>

#include <xcb/xcb.h>

#include <optional>

class QWidget;

namespace ui {

// A top-level window as the X11 window manager has it, read from the X server rather than taken
// from what the program last asked for: a window manager may refuse a restore (mutter keeps a
// minimized window so while another program has the focus), and Qt then takes the window for
// restored until the user restores it. Where the program does not run on X11 there is nothing to
// read, and nothing is done.
class X11Window : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(X11Window)

public:
    explicit X11Window(QWidget* window);

    // Whether the window manager has the window minimized (WM_STATE Iconic, or
    // _NET_WM_STATE_HIDDEN); nullopt where this cannot be read.
    std::optional<bool> minimized() const;
    // Asks the window manager to restore the window, which Qt may take for restored already.
    void restore();

    // Restores, raises and activates the window for a user who has just asked for it (a click on a
    // notification or on the status indicator), at a time the window manager's focus-stealing
    // prevention accepts: the one `startupId` carries ("..._TIME<n>"), else the X server's time
    // now. A startup id is also handed to the window manager as the window's, and its launch
    // sequence ended. False where the program does not run on X11.
    bool activateForUser(const QByteArray& startupId);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    // The window manager has changed the window's WM_STATE or _NET_WM_STATE.
    void stateChanged();

private:
    xcb_window_t id() const;
    void activateAt(xcb_timestamp_t time);
    void endLaunch(const QByteArray& startupId);

    QWidget* window_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    struct Atoms {
        xcb_atom_t wmState = XCB_ATOM_NONE;
        xcb_atom_t netWmState = XCB_ATOM_NONE;
        xcb_atom_t hidden = XCB_ATOM_NONE;
        xcb_atom_t activeWindow = XCB_ATOM_NONE;
        xcb_atom_t startupId = XCB_ATOM_NONE;
        xcb_atom_t startupInfoBegin = XCB_ATOM_NONE;
        xcb_atom_t startupInfo = XCB_ATOM_NONE;
        xcb_atom_t utf8String = XCB_ATOM_NONE;
        xcb_atom_t clock = XCB_ATOM_NONE; // a property of ours, changed to read the server's time
    } atoms_;
    // Waiting for the server's time, to activate with this startup id.
    std::optional<QByteArray> pendingActivation_;
};

} // namespace ui
